"""Reading, writing, exporting and importing let other Python threads run meanwhile."""

import sys
import threading

import pytest

import quenlo

BIG = ["a text long enough to take a while with é " * 4 + "end"] * 100_000


@pytest.fixture
def long_switch_interval():
    # With a long switch interval a thread keeps the GIL until it lets it go itself.
    former = sys.getswitchinterval()
    sys.setswitchinterval(30)
    yield
    sys.setswitchinterval(former)


def runs_without_the_gil(call):
    """Whether this thread gets the GIL while `call` is still running in another thread."""
    started, finished = threading.Event(), threading.Event()

    def work():
        started.set()
        call()
        finished.set()

    worker = threading.Thread(target=work)
    worker.start()
    started.wait()  # this thread wakes up, but runs only once the worker lets the GIL go
    during = not finished.is_set()
    worker.join()
    return during


def operations(tmp_path):
    text = quenlo.dumps(BIG)
    path = str(tmp_path / "big.qo")
    quenlo.dump(BIG, path)
    tree = quenlo.Tavrix()
    tree.SetObjectString(text)
    return {
        "loads": lambda: quenlo.loads(text),
        "dumps": lambda: quenlo.dumps(BIG),
        "load": lambda: quenlo.load(path),
        "dump": lambda: quenlo.dump(BIG, str(tmp_path / "out.qo")),
        "GetObjectString": tree.GetObjectString,
        "SetObjectString": lambda: quenlo.Tavrix().SetObjectString(text),
        "Export": lambda: tree.Export(str(tmp_path / "export.qo")),
        "Import": lambda: quenlo.Tavrix().Import(path),
    }


def test_each_long_call_releases_the_gil(tmp_path, long_switch_interval):
    for name, call in operations(tmp_path).items():
        assert runs_without_the_gil(call), name


def test_a_call_that_holds_the_gil_is_seen_as_such(long_switch_interval):
    # The same probe on a call that keeps the GIL: the measurement can tell the difference.
    assert not runs_without_the_gil(lambda: sum(range(3_000_000)))


def test_changes_wait_for_a_write_in_progress():
    tree = quenlo.Tavrix()
    tree.SetArray()
    for value in BIG[:20_000]:
        tree.AddLast(value)
    before = tree.GetObjectString()
    texts = []
    writer = threading.Thread(target=lambda: texts.extend(tree.GetObjectString() for _ in range(20)))
    writer.start()
    while writer.is_alive():
        tree.AddLast("x")
        tree.Remove(tree.Length())
    writer.join()
    # Each write sees the tree between two changes, never in the middle of one.
    assert set(texts) <= {before, before[:-1] + ", \\8\\x]"}
    assert tree.FindInconsistency() == "" and tree.GetObjectString() == before
