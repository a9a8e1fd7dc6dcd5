// Placeholder until the subsystem has sources; delete when adding real files.
