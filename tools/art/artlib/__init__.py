"""The drawing code and data behind make_art.py."""
