// Replaced by the model's implementation files.
