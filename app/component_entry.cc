// The component library's entry: what registration and class-object lookup
// did for the in-process server. Loading trelix_eb.so registers the ProgIDs
// of the creatable classes and of the connector.
