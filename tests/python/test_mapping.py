"""The mapping between object strings and Python values, both ways, for every type."""

import datetime
import decimal

import pytest

import quenlo

H = "\\11000\\"  # the header of every object string


def in_array(*elements):
    return H + "[" + ", ".join(elements) + "]"


# Each element text read inside an Array, the value it gives, and its exact Python type.
READ = [
    ("\\2\\-7", -7, int),
    ("\\3\\70000", 70000, int),
    ("\\3\\7", 7, quenlo.Long),  # a Long that a plain int would write as an Integer
    ("\\17\\200", 200, quenlo.Byte),
    ("\\5\\2.5", 2.5, float),
    ("\\5\\1E+20", 1e20, float),
    ("\\4\\0.1", 0.10000000149011612, quenlo.Single),
    ("\\6\\-12.3456", decimal.Decimal("-12.3456"), quenlo.Currency),
    ("\\14\\79228162514264337593543950335", decimal.Decimal(2**96 - 1), decimal.Decimal),
    ("\\7\\2026-12-06", datetime.date(2026, 12, 6), datetime.date),
    ("\\11\\True", True, bool),
    ("\\11\\False", False, bool),
    ("\\8\\Zoë a\\b", "Zoë a\\b", str),
    ("\\8\\", "", str),
    ("\\0\\", "", str),  # Empty and Null read back as empty Strings
    ("\\1\\", "", str),
    ("\\9\\0", quenlo.Nothing, type(quenlo.Nothing)),
]


@pytest.mark.parametrize("text, value, kind", READ)
def test_each_scalar_reads_as_its_python_type(text, value, kind):
    [read] = quenlo.loads(in_array(text))
    assert type(read) is kind
    assert read == value


def test_a_time_of_day_reads_as_a_time_at_the_top_level():
    # Inside a container the ":" of a time splits the element; as the one value it does not.
    assert quenlo.loads(H + "\\7\\15:04:05") == datetime.time(15, 4, 5)
    moment = quenlo.loads(H + "\\7\\2026-12-06 15:04:05")
    assert type(moment) is datetime.datetime and moment == datetime.datetime(2026, 12, 6, 15, 4, 5)


def test_containers_read_as_dicts_lists_and_the_sequence_types():
    value = quenlo.loads(H + "{b: " + H + "(\\2\\1, \\2\\1), a: " + H + "<\\2\\1, \\2\\2>, c: " + H +
                         "`\\2\\3, \\2\\4\u00b4, d: " + H + "[" + H + "{}], 5: \\1\\}")
    assert list(value) == ["b", "a", "c", "d", "5"]  # order kept, keys are Strings
    assert type(value["b"]) is quenlo.Set and value["b"] == [1, 1]
    assert type(value["a"]) is quenlo.Stack and value["a"] == [1, 2]
    assert type(value["c"]) is quenlo.Queue and value["c"] == [3, 4]
    assert type(value["d"]) is list and value["d"] == [{}]
    assert quenlo.loads(H + "nil") is quenlo.Nil
    assert quenlo.loads(H + "\\3\\7") == quenlo.Long(7)


# Python values and the object string each writes.
WRITTEN = [
    (None, "\\1\\"),
    (quenlo.Empty, "\\0\\"),
    (True, "\\11\\True"),
    (-32768, "\\2\\-32768"),
    (32768, "\\3\\32768"),
    (2**31 - 1, "\\3\\2147483647"),
    (2**31, "\\14\\2147483648"),  # beyond a Long, an exact Decimal
    (quenlo.Long(-1), "\\3\\-1"),
    (quenlo.Byte(255), "\\17\\255"),
    (0.1, "\\5\\0.1"),
    (1.5e-7, "\\5\\1.5E-07"),
    (float("nan"), "\\5\\NaN"),
    (quenlo.Single(0.1), "\\4\\0.1"),
    (quenlo.Currency("0.00005"), "\\6\\0"),  # Currency rounds to four decimals, half to even
    (quenlo.Currency("2.50"), "\\6\\2.5"),
    (decimal.Decimal("1E+3"), "\\14\\1000"),
    (datetime.date(2026, 12, 6), "\\7\\2026-12-06"),
    (datetime.time(23, 59, 59, 600000), "\\7\\1899-12-31"),  # rounded to the next day
    (datetime.datetime(2026, 12, 6, 15, 4, 5, 500000), "\\7\\2026-12-06 15:04:06"),
    ("tab\there", "\\8\\tab\there"),
    ((1, "a"), None),  # a Variant array has no text
]


@pytest.mark.parametrize("value, element", WRITTEN)
def test_each_python_value_writes_its_tag_and_text(value, element):
    if element is None:
        with pytest.raises(quenlo.Error) as raised:
            quenlo.dumps(value)
        assert raised.value.number == 13
        return
    assert quenlo.dumps(value) == H + element
    assert quenlo.dumps([value]) == in_array(element)


def test_python_containers_write_as_containers():
    assert quenlo.dumps({"a": 1, 2: [], 3.5: {}}) == H + "{a: \\2\\1, 2: " + H + "[], 3.5: " + H + "{}}"
    assert quenlo.dumps(quenlo.Set([1, "x"])) == H + "(\\2\\1, \\8\\x)"
    assert quenlo.dumps(quenlo.Stack([1, 2])) == H + "<\\2\\1, \\2\\2>"
    assert quenlo.dumps(quenlo.Queue([1, 2])) == H + "`\\2\\1, \\2\\2\u00b4"
    assert quenlo.dumps([quenlo.Nil]) == in_array(H + "nil")
    assert quenlo.dumps(quenlo.Array([1], bound=3)) == in_array("\\2\\1")


def test_an_array_keeps_its_bound_in_a_container_but_not_in_text():
    holder = quenlo.Tavrix()
    holder.Item(1, quenlo.Array([1, 2], bound=2))
    assert (holder.Item().Kind, holder.Item().Bound) == (quenlo.KindBoundedArray, 2)
    assert holder.Item().GetObjectString() == in_array("\\2\\1", "\\2\\2")
    with pytest.raises(quenlo.Error) as raised:
        quenlo.dumps(quenlo.Array([1, 2, 3], bound=2))
    assert raised.value.number == quenlo.ErrSubscriptOutOfRange


CANONICAL = [
    H + "\\3\\7",
    H + "nil",
    H + "\\8\\x, y ",
    H + "\\7\\15:04:05",
    H + "{a: \\2\\1, b: " + H + "[\\8\\x, \\3\\1, \\17\\0, \\4\\3.4028235E+38, \\5\\-0.5, \\6\\-922337203685477.5808, "
    "\\14\\-0.0000000000000000000000000001, \\7\\0100-01-01, \\11\\False, \\9\\0, "
    + H + "(" + H + "{x: " + H + "<\\8\\é>})]}",
    H + "[\\5\\1E-300, \\4\\-1E-45]",
]


@pytest.mark.parametrize("text", CANONICAL)
def test_every_canonical_text_comes_back_unchanged(text):
    assert quenlo.dumps(quenlo.loads(text)) == text


def test_python_values_that_have_no_quenlo_type_are_refused():
    for value in (b"bytes", {1, 2}, object(), datetime.datetime(2026, 1, 1, tzinfo=datetime.timezone.utc)):
        with pytest.raises((TypeError, ValueError)):
            quenlo.dumps(value)


def test_out_of_range_values_raise_overflow():
    for value in (quenlo.Long(2**31), quenlo.Byte(256), quenlo.Byte(-1), quenlo.Single(1e39),
                  quenlo.Currency("1E+15"), 2**96, datetime.date(99, 12, 31)):
        with pytest.raises(quenlo.Error) as raised:
            quenlo.dumps(value)
        assert raised.value.number in (6, 13), value


def test_two_keys_with_one_text_are_refused():
    with pytest.raises(quenlo.Error) as raised:
        quenlo.dumps({1: "a", "1": "b"})
    assert (raised.value.number, raised.value.context) == (457, "1")


def test_a_value_nested_past_the_limit_or_holding_itself_raises_28():
    deep = []
    for _ in range(1100):
        deep = [deep]
    loop = []
    loop.append(loop)
    for value in (deep, loop):
        with pytest.raises(quenlo.Error) as raised:
            quenlo.dumps(value)
        assert raised.value.number == 28


def test_bytes_that_are_not_utf8_survive_as_surrogate_escapes():
    text = "\\11000\\[\\8\\a\udcff]"
    assert quenlo.loads(text) == ["a\udcff"]
    assert quenlo.dumps(quenlo.loads(text)) == text
