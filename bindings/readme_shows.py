#!/usr/bin/env python3
"""Exits 1 unless README.md shows the example file exactly as it stands, so that the example the
README gives is the one the tests run. Usage: readme_shows.py README.md EXAMPLE-FILE"""
import sys
from pathlib import Path

readme, example = (Path(p).read_text() for p in sys.argv[1:3])
if example not in readme:
    sys.exit(f"{sys.argv[1]} does not show {sys.argv[2]} as it stands")
