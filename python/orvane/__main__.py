"""python3 -m orvane: the orvane-py command line."""
import sys

from .cli import main

sys.exit(main())
