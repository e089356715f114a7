// placeholder so the module library has a source until the CLI lands
