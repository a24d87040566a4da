# What the drivers share: the check they print, the picture they put on the
# screen and the order of a sample's nine pixels.
import subprocess
import time

OFFSETS = [(0, 0), (0, -1), (1, -1), (1, 0), (0, 1), (1, 1), (-1, -1), (-1, 0), (-1, 1)]
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    failures.extend([] if ok else [what])


def run(*args):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True,
                          text=True).stdout


# Every pixel differs from its eight neighbours, and red from blue.
def pattern(x, y):
    return (x & 255, y & 255, (7 * x + 13 * y) & 255)


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True
