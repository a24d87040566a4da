# expect WHAT ACTUAL EXPECTED: prints ok or FAIL for one check; a failure sets fail=1.
fail=0
expect() {
    if [[ $2 == "$3" ]]; then echo "ok   $1"; else echo "FAIL $1: '$2', expected '$3'"; fail=1; fi
}
