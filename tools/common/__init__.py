"""What the tools that start games share: starting and guarding a game's
processes, and the sandbox around a controller."""
