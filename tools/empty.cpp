// Stands in for the game library until the game has sources of its own.
