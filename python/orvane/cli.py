"""orvane-py: the package's command line (orvane-py transcribe FILE...)."""
from __future__ import annotations

import argparse
import json
import sys
from typing import List, Optional

from ._errors import Error
from ._recognizer import Recognizer


def _parser() -> argparse.ArgumentParser:
    ap = argparse.ArgumentParser(prog="orvane-py",
                                 description="Vietnamese speech recognition with liborvane.")
    sub = ap.add_subparsers(dest="command", required=True)
    t = sub.add_parser("transcribe", help="transcribe WAV files, one line per file")
    t.add_argument("files", nargs="+", metavar="FILE")
    t.add_argument("--preset", default="transcribe", help="pipeline preset (default transcribe)")
    t.add_argument("--modules", help="build the pipeline from these modules (a,b,c)")
    t.add_argument("--model", "--model-dir", dest="model_dir", metavar="DIR",
                   help="model folder (model.onnx, units.txt) for the recogniser")
    t.add_argument("--hotwords", metavar="FILE", help="phrases to favour, one per line")
    t.add_argument("--json", action="store_true", help="print the result documents")
    return ap


def main(argv: Optional[List[str]] = None) -> int:
    """Runs the command line; returns the exit status (0 ok, 1 a file failed, 2 bad usage)."""
    args = _parser().parse_args(argv)
    hotwords = None
    try:
        if args.hotwords is not None:
            with open(args.hotwords, encoding="utf-8") as f:
                hotwords = f.read()
        recognizer = Recognizer(preset=args.preset, modules=args.modules,
                                model_dir=args.model_dir, hotwords=hotwords)
    except (Error, OSError, ValueError) as e:
        print("orvane-py: %s" % e, file=sys.stderr)
        return 1
    status = 0
    with recognizer:
        for path in args.files:
            try:
                result = recognizer.transcribe(path)
            except Error as e:
                print("orvane-py: %s" % e, file=sys.stderr)
                if args.json:
                    print(json.dumps({"is_final": True, "error": str(e)}, ensure_ascii=False))
                status = 1
                continue
            print(result.json if args.json else result.text)
    return status
