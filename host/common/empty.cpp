// Placeholder translation unit for a host area that has no sources yet.
