#!/usr/bin/env python3
"""Writes the golden data of the 16-byte decimal test to standard output.

    python3 numeric/numbers/tests/golden/decimal96_golden.py > numeric/numbers/tests/golden/decimal96.txt

Each line: input, parsed value, parse report, value rescaled to 12 decimals,
rescale report, places, and the value rounded to places in the modes plain
(half away from zero), up, down and bankers, separated by tabs. Values are
written as the library writes them: exactly their decimals, "(NaN)" for a
text that is no number or too large, "(bad value)" for a rescale that
overflowed. Reports: "-" none, "I" inexact, "O" overflow. The seed is fixed,
so the file only changes when this script does.
"""
import random
from decimal import Decimal, getcontext, ROUND_HALF_UP, ROUND_UP, ROUND_DOWN, ROUND_HALF_EVEN

getcontext().prec = 200
LIMIT = 2**95 - 1
STORED_SCALE = 12
MODES = [ROUND_HALF_UP, ROUND_UP, ROUND_DOWN, ROUND_HALF_EVEN]


def text_of(value):
    """value: None for NaN, else (mantissa, decimals) as the library holds it."""
    if value is None:
        return "(NaN)"
    m, d = value
    digits = str(abs(m))
    if d > 0:
        digits = digits.rjust(d, "0")
        head = digits[:-d] or "0"
        body = head + "." + digits[-d:]
    else:
        body = digits
    return ("-" if m < 0 else "") + body


def to_decimal(value):
    m, d = value
    return Decimal(m).scaleb(-d)


def from_decimal(x, decimals):
    m = int(x.scaleb(decimals))
    return (m, decimals)


def parse(text):
    """Plain decimal text with optional sign and surrounding blanks."""
    s = text.strip(" ")
    neg = s.startswith("-")
    s = s.lstrip("+-")
    integer, _, fraction = s.partition(".")
    m = int(integer or "0")
    if m > LIMIT:
        return None, "O"
    taken = 0
    report = "-"
    for ch in fraction:
        t = m * 10 + int(ch)
        if t > LIMIT:
            report = "I"
            break
        m = t
        taken += 1
    return ((-m if neg else m), taken), report


def rescale(value):
    if value is None:
        return "(NaN)", "-"
    m, d = value
    if d == STORED_SCALE:
        return text_of(value), "-"
    if d > STORED_SCALE:
        return text_of(round_to(value, STORED_SCALE, ROUND_HALF_UP)), "I"
    scaled = m * 10 ** (STORED_SCALE - d)
    if abs(scaled) > LIMIT:
        return "(bad value)", "O"
    return text_of((scaled, STORED_SCALE)), "-"


def round_to(value, places, mode):
    if value is None:
        return None
    m, d = value
    if d <= places:
        return value
    q = to_decimal(value).quantize(Decimal(1).scaleb(-places), rounding=mode)
    if places >= 0:
        return from_decimal(q, places)
    n = int(q)
    if abs(n) > LIMIT:
        return None
    return (n, 0)


def digits(rng, n):
    return "".join(rng.choice("0123456789") for _ in range(n))


def inputs(rng):
    fixed = ["0", "1.5", "2.5", "-2.5", "3.5", "0.5", "-0.5", "12.50", "1250", "1.23456", "0.000000000000005",
             "99999999999999.99999999999999", "39614081257132168796771975167",
             "39614081257132168796771975168", "-39614081257132168796771975167", "3961408125713216879677197516.75",
             "0.39614081257132168796771975167", "0.396140812571321687967719751675", "123456789012345678901234567890",
             "1.2345678901234567890123456789", "-0.00", "00012.3400", "10000000000000000", "9999999999999999.5"]
    out = fixed[:]
    for _ in range(4000):
        shape = rng.random()
        if shape < 0.4:
            i, f = rng.randint(0, 16), rng.randint(0, 14)
        elif shape < 0.7:
            i, f = rng.randint(0, 31), rng.randint(0, 32)
        else:
            i, f = rng.randint(0, 3), rng.randint(1, 6)
        integer = digits(rng, i)
        fraction = digits(rng, f)
        if rng.random() < 0.2 and f:
            fraction = fraction[:-1] + "5"
        if not integer and not fraction:
            integer = "0"
        text = integer + ("." + fraction if fraction or rng.random() < 0.1 else "")
        if text.startswith(".") and rng.random() < 0.5:
            text = "0" + text
        r = rng.random()
        text = ("-" if r < 0.4 else "+" if r < 0.45 else "") + text
        if rng.random() < 0.1:
            text = " " * rng.randint(1, 3) + text + " " * rng.randint(0, 2)
        out.append(text)
    return out


def main():
    rng = random.Random(1996)
    for text in inputs(rng):
        value, report = parse(text)
        rescaled, rescale_report = rescale(value)
        places = rng.randint(-3, 14)
        rounded = [text_of(round_to(value, places, mode)) for mode in MODES]
        print("\t".join([text, text_of(value), report, rescaled, rescale_report, str(places)] + rounded))


if __name__ == "__main__":
    main()
