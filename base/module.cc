// placeholder so the module library has a source until its classes land
