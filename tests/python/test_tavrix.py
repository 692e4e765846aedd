"""quenlo.Tavrix: each member of the C++ class under its own name and defaults, Python's protocols,
and what the binding adds. The members' rules and errors are the C++ tests' concern."""

import datetime

import pytest

import quenlo

H = "\\11000\\"


def made(setter, *arguments):
    container = quenlo.Tavrix()
    getattr(container, setter)(*arguments)
    return container


def test_kinds_bounds_tag_and_version():
    assert quenlo.Tavrix().Kind == quenlo.KindVariant
    assert [made(setter).Kind for setter in ("SetMap", "SetNil", "SetStack", "SetQueue", "SetVariant")] == [
        quenlo.KindMap, quenlo.KindNil, quenlo.KindStack, quenlo.KindQueue, quenlo.KindVariant]
    assert (made("SetArray").Kind, made("SetArray").Bound) == (quenlo.KindUnboundedArray, -1)
    assert (made("SetArray", 5).Kind, made("SetArray", 5).Bound) == (quenlo.KindBoundedArray, 5)
    assert made("SetSet", 1, 1, 2).Bound == 3
    container = quenlo.Tavrix()
    container.Tag = "mine"
    container.SetObjectString(H + "{}")
    assert container.Tag == "mine"
    assert quenlo.Tavrix.Version() == quenlo.__version__ == "1.0.16"
    created = quenlo.Tavrix.Create()
    created.Item(1, 2.5)
    assert (created.ClassName(), created.HasDefaultMember(), created.DefaultMember()) == ("Tavrix", True, 2.5)


def test_item_by_call_and_subscript_and_len_against_length():
    map_ = made("SetMap")
    map_["a"] = 1
    map_.Item("b", "two")
    assert (map_["a"], map_.Item("b"), map_.Item(), map_[2]) == (1, "two", 1, "two")
    assert len(map_) == map_.Length() == 2
    assert map_.Exists("a") and "b" in map_ and not map_.Exists("z") and map_.Exists(2)
    keys = map_.GetKeys()
    assert (keys.Kind, list(keys)) == (quenlo.KindUnboundedArray, ["a", "b"])
    value = quenlo.Tavrix()
    value.Item(1, "text")
    assert (value.Item(), value.Length(), len(value)) == ("text", 4, 1)  # Length is the text's, len counts
    assert list(made("SetNil")) == [] and list(quenlo.Tavrix()) == []
    assert len(made("SetNil")) == len(quenlo.Tavrix()) == 0


# Each predicate is true for its own sample only; the index defaults to 1.
def test_each_predicate_tests_its_own_type():
    samples = {"IsArray": (1, 2), "IsObject": made("SetMap"), "IsDate": datetime.date(2026, 1, 1),
               "IsLong": quenlo.Long(1), "IsBoolean": True, "IsCurrency": quenlo.Currency("1.5"), "IsInteger": 2,
               "IsString": "s", "IsDouble": 1.5, "IsSingle": quenlo.Single(1.5), "IsNull": None,
               "IsEmpty": quenlo.Empty}
    array = made("SetArray")
    for sample in samples.values():
        array.AddLast(sample)
    for name in samples:
        assert [getattr(array, name)(index) for index in range(1, 13)] == [other == name for other in samples], name
    assert array.IsArray() and array.IsNumeric(4) and not array.IsNumeric(8)
    assert array[1] == (1, 2) and array[12] is quenlo.Empty


def test_adding_removing_stack_queue_and_find():
    array = made("SetArray")
    array.AddLast(2)
    array.AddFirst(1)
    array.Insert(2, 1.5)
    assert list(array) == [1, 1.5, 2]
    array.Remove(2)
    del array[1]
    assert list(array) == [2]
    array.Remove()
    array.AddLast(3)
    array.RemoveAll()
    assert len(array) == 0
    stack, queue = made("SetStack"), made("SetQueue")
    for value in (1, 2, 3):
        stack.Push(value)
        queue.Push(value)
    assert (list(stack), list(queue)) == ([3, 2, 1], [1, 2, 3])  # iteration leaves them as they were
    assert (stack.Pop(), queue.Pop(), len(stack), len(queue)) == (3, 1, 2, 2)
    assert (queue.Find(3), queue.Find(1), queue.Find(3, 3)) == (2, -1, -1)


def test_clone_and_become():
    map_ = made("SetMap")
    map_["a"] = 1
    copy = map_.Clone()
    copy.Remove("a")
    assert (len(map_), len(copy)) == (1, 0)
    target = made("SetStack")
    target.Become(map_)
    assert (target.Kind, target["a"]) == (quenlo.KindMap, 1)
    with pytest.raises(quenlo.Error) as raised:
        target.Become(None)
    assert raised.value.number == 91


def test_text_listing_and_consistency():
    text = H + "{a: " + H + "[\\2\\1, \\8\\x], b: " + H + "`\\11\\True\u00b4}"
    tree = quenlo.Tavrix()
    tree.SetObjectString(text)
    assert tree.GetObjectString() == text
    assert repr(tree) == "<quenlo.Tavrix " + text + ">"
    assert tree.DebugPrint() == "{\r\na: \t[\r\n\t\t1,\r\n\t\tx\r\n\t],\r\nb: \t`\r\n\t\tTrue\r\n\t\u00b4\r\n}"
    assert tree.FindInconsistency() == ""
    with pytest.raises(quenlo.Error):
        tree.SetObjectString(H + "[abc]")
    assert tree.GetObjectString() == text  # a failed read changes nothing
    assert repr(quenlo.Tavrix()) == "<quenlo.Tavrix without text: error 9, Subscript out of range>"


def test_set_set_takes_any_number_of_members():
    assert list(made("SetSet")) == []
    assert list(made("SetSet", 1, "a", None, [2]))[:3] == [1, "a", None]
    nested = made("SetSet", [2])[1]
    assert (type(nested), list(nested)) == (quenlo.Tavrix, [2])
