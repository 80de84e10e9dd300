"""Runs one Windows program under the Wine bench and passes on its output and exit code
(used for the GoogleTest program of the Win32 platform files)."""
import sys

from winebench import Bench

if __name__ == "__main__":
    bench = Bench()
    code, output = bench.run(sys.argv[1], sys.argv[2:], timeout=540)
    sys.stdout.write(output)
    if code is None:
        print("timed out")
        sys.exit(1)
    sys.exit(code)
