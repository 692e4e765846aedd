#!/usr/bin/env python3
"""quenlo.loads and quenlo.dumps against json.loads and json.dumps of the same data.

Three documents, each built once as Python values: records (100,000 dicts of 8 fields: 2 short
strings, 2 ints of 32 bits, 2 floats, a bool and a list of 3 strings), numbers (1,000,000 floats
of 1 to 9 digits, exponents -15 to 15) and text (200,000 strings of 20 to 200 characters, 1 in 8
with non-ASCII characters). Each is written with both modules; both texts must read back as the
same values. The calls of each document run interleaved, RUNS times (at least 5), with the cyclic
garbage collector paused as timeit does; each figure is the median CPU time. One more call reads
the same text into a container tree with Tavrix.SetObjectString and releases it, without making
any Python value: loads reads the text straight into Python values and builds no such tree.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [RUNS]
"""

import gc
import json
import random
import statistics
import sys
import time

import quenlo

TARGET = 1.5
WORDS = ("harbour", "copper", "kettle", "lamp", "garden", "shears", "brass", "street", "north", "river")
ACCENTED = ("café", "Zoë", "façade", "naïve", "Ångström", "crème", "über", "€uro")


def records(rng):
    return [{
        "name": rng.choice(WORDS),
        "city": rng.choice(WORDS).title(),
        "id": 100_000 + i,
        "count": 40_000 + rng.randrange(1_000_000),
        "price": rng.randrange(1, 10**7) / 100,
        "ratio": rng.random(),
        "active": i % 3 == 0,
        "tags": [rng.choice(WORDS) for _ in range(3)],
    } for i in range(100_000)]


def numbers(rng):
    def one():
        digits = rng.randint(1, 9)
        return float(f"{rng.randrange(10 ** (digits - 1), 10 ** digits)}e{rng.randint(-15, 15)}")
    return [one() for _ in range(1_000_000)]


def text(rng):
    def one(i):
        words = []
        length = rng.randint(20, 200)
        while sum(map(len, words)) + len(words) < length:
            words.append(rng.choice(ACCENTED if i % 8 == 0 and not words else WORDS))
        return " ".join(words)[:length].strip()
    return [one(i) for i in range(200_000)]


def cpu_time(call, argument):
    gc.disable()
    start = time.process_time()
    call(argument)
    elapsed = time.process_time() - start
    gc.enable()
    return elapsed


def measure(document, runs):
    quenlo_text, json_text = quenlo.dumps(document), json.dumps(document)
    if quenlo.loads(quenlo_text) != document or json.loads(json_text) != document:
        raise SystemExit("the two texts do not read back as the same data")
    calls = {
        "quenlo.loads": (quenlo.loads, quenlo_text), "json.loads": (json.loads, json_text),
        "read and release": (lambda text: quenlo.Tavrix().SetObjectString(text), quenlo_text),
        "quenlo.dumps": (quenlo.dumps, document), "json.dumps": (json.dumps, document),
    }
    times = {name: [] for name in calls}
    for _ in range(runs):
        for name, (call, argument) in calls.items():
            times[name].append(cpu_time(call, argument))
    return {name: statistics.median(values) * 1000 for name, values in times.items()}


def main():
    runs = max(5, int(sys.argv[1]) if len(sys.argv) > 1 else 5)
    rng = random.Random(20261206)
    print(f"Python {sys.version.split()[0]}, quenlo {quenlo.__version__}, median CPU time of {runs} interleaved runs\n")
    print("| document | quenlo.loads | json.loads | ratio | SetObjectString and release | quenlo.dumps | json.dumps | ratio |")
    print("|---|---|---|---|---|---|---|---|")
    verdicts = []
    for name, build in (("records", records), ("numbers", numbers), ("text", text)):
        median = measure(build(rng), runs)
        read = median["quenlo.loads"] / median["json.loads"]
        write = median["quenlo.dumps"] / median["json.dumps"]
        verdicts += [read <= TARGET, write <= TARGET]
        share = median["read and release"] / median["json.loads"]
        print(f"| {name} | {median['quenlo.loads']:.1f} ms | {median['json.loads']:.1f} ms | {read:.2f}x "
              f"| {median['read and release']:.1f} ms ({share:.2f}x) "
              f"| {median['quenlo.dumps']:.1f} ms | {median['json.dumps']:.1f} ms | {write:.2f}x |")
    print(f"\nTarget: every ratio at most {TARGET}x: {'met' if all(verdicts) else 'not met'}")


if __name__ == "__main__":
    main()
