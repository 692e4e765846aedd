"""load and dump through files, the example files, and quenlo.Error with its numbers."""

import pathlib

import pytest

import quenlo

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


@pytest.mark.parametrize("example", sorted(EXAMPLES.glob("*.qo")), ids=lambda path: path.name)
def test_every_example_file_comes_back_byte_for_byte(example, tmp_path):
    value = quenlo.load(example)
    quenlo.dump(value, tmp_path / "copy.qo")
    assert (tmp_path / "copy.qo").read_bytes() == example.read_bytes()
    quenlo.dump(value, tmp_path / "utf8.qo", encoding="utf-8")
    assert quenlo.load(tmp_path / "utf8.qo", encoding="utf-8") == value


def test_the_inventory_reads_as_plain_values():
    inventory = quenlo.load(str(EXAMPLES / "inventory.qo"))
    assert inventory["manager"]["name"] == "Zoé Moreau"
    assert [item["sku"] for item in inventory["items"]] == ["KT-100", "LM-220", "SH-310"]
    assert type(inventory["restock"]) is quenlo.Queue


def test_files_are_windows_1252_unless_utf8_is_asked_for(tmp_path):
    quenlo.dump(quenlo.Queue(["é€中"]), tmp_path / "cp1252.qo")
    assert (tmp_path / "cp1252.qo").read_bytes() == b"\\11000\\`\\8\\\xe9\x80?\xb4"
    quenlo.dump(quenlo.Queue(["é€中"]), tmp_path / "utf8.qo", encoding="utf-8")
    assert (tmp_path / "utf8.qo").read_bytes() == "\\11000\\`\\8\\é€中´".encode()
    assert quenlo.load(tmp_path / "utf8.qo", encoding="utf-8") == ["é€中"]
    with pytest.raises(ValueError):
        quenlo.load(tmp_path / "utf8.qo", encoding="latin-1")


def test_tavrix_export_and_import(tmp_path):
    tree = quenlo.Tavrix()
    tree.SetMap()
    tree["a"] = "é"
    tree.Export(str(tmp_path / "tree.qo"))
    assert (tmp_path / "tree.qo").read_bytes() == b"\\11000\\{a: \\8\\\xe9}"
    read = quenlo.Tavrix()
    read.Import(str(tmp_path / "tree.qo"))
    assert read["a"] == "é"


def raised(call, *arguments, **options):
    with pytest.raises(quenlo.Error) as error:
        call(*arguments, **options)
    return error.value


def test_errors_carry_number_source_description_and_context(tmp_path):
    stack = quenlo.Tavrix()
    stack.SetStack()
    error = raised(stack.Pop)
    assert (error.number, error.source, error.description) == (-2147206504, "Tavrix", "Subscript out of range")
    assert isinstance(error, Exception) and error.context == ""
    assert str(error) == "Subscript out of range (error -2147206504, Tavrix)"
    error = raised(quenlo.dumps, {"1": 1, 1: 2})
    assert (error.number, error.source, error.context) == (457, "Quenlo", "1")
    assert str(error).endswith(": 1")
    assert raised(quenlo.Tavrix().GetKeys).number == 15011


def test_file_errors_have_their_numbers(tmp_path):
    assert raised(quenlo.load, tmp_path / "missing.qo").number == 53
    assert raised(quenlo.dump, [], tmp_path).number == 75
    (tmp_path / "empty.qo").write_bytes(b"")
    assert raised(quenlo.load, tmp_path / "empty.qo", encoding="utf-8").number == 5
    tree = quenlo.Tavrix()
    tree.SetMap()
    assert raised(tree.Import, str(tmp_path / "missing.qo")).number == 53
    assert tree.Kind == quenlo.KindMap  # a failed import changes nothing
