"""quenlo.Tavrix: the members of the C++ class on every kind, and Python's protocols."""

import pytest

import quenlo

H = "\\11000\\"


def made(setter, *arguments):
    container = quenlo.Tavrix()
    getattr(container, setter)(*arguments)
    return container


def raises(number, call, *arguments):
    with pytest.raises(quenlo.Error) as raised:
        call(*arguments)
    assert raised.value.number == number
    return raised.value


def test_kinds_bounds_tag_and_version():
    assert quenlo.Tavrix().Kind == quenlo.KindVariant
    assert [made(setter).Kind for setter in ("SetMap", "SetNil", "SetStack", "SetQueue", "SetVariant")] == [
        quenlo.KindMap, quenlo.KindNil, quenlo.KindStack, quenlo.KindQueue, quenlo.KindVariant]
    assert (made("SetArray").Kind, made("SetArray").Bound) == (quenlo.KindUnboundedArray, -1)
    assert (made("SetArray", 5).Kind, made("SetArray", 5).Bound) == (quenlo.KindBoundedArray, 5)
    assert (made("SetArray", "3").Bound, made("SetSet", 1, 1, 2).Bound) == (3, 3)
    raises(13, made, "SetArray", "x")
    container = quenlo.Tavrix()
    container.Tag = "mine"
    container.SetObjectString(H + "{}")
    assert container.Tag == "mine"
    assert quenlo.Tavrix.Version() == quenlo.__version__ == "1.0.16"
    created = quenlo.Tavrix.Create()
    created.Item(1, 2.5)
    assert (created.ClassName(), created.HasDefaultMember(), created.DefaultMember()) == ("Tavrix", True, 2.5)


def test_item_on_every_kind():
    map_ = made("SetMap")
    map_["a"] = 1
    map_.Item("b", "two")
    assert (map_["a"], map_.Item("b"), map_.Item(), map_[2]) == (1, "two", 1, "two")
    raises(5, map_.Item, "missing")
    array = made("SetArray", 1)
    array[1] = 2.5
    assert array.Item() == 2.5
    raises(quenlo.ErrSubscriptOutOfRange, array.Item, 2, 3)
    value = quenlo.Tavrix()
    value.Item(1, "text")
    assert (value.Item(), value.Length(), len(value)) == ("text", 4, 1)  # Length is the text's, len counts
    set_ = made("SetSet", "a", 2)
    assert (set_[1], set_[2]) == ("a", 2)
    raises(quenlo.ErrInvalidOperation, set_.Item, 1, 0)
    for kind in ("SetNil", "SetStack", "SetQueue"):
        raises(quenlo.ErrInvalidOperation, made(kind).Item)


def test_length_exists_keys_and_predicates():
    map_ = quenlo.Tavrix()
    map_.SetObjectString(H + "{a: \\3\\1, b: \\8\\x, c: \\1\\, d: \\6\\1.5, e: \\7\\2026-01-01, f: \\5\\2}")
    assert len(map_) == map_.Length() == 6
    assert map_.Exists("a") and "b" in map_ and not map_.Exists("z") and map_.Exists(6)
    keys = map_.GetKeys()
    assert (keys.Kind, list(keys)) == (quenlo.KindUnboundedArray, ["a", "b", "c", "d", "e", "f"])
    assert map_.IsLong("a") and map_.IsNumeric("a") and not map_.IsInteger("a")
    map_["c"] = None
    assert map_.IsString("b") and map_.IsNull("c") and map_.IsCurrency("d") and map_.IsDate("e")
    assert map_.IsDouble("f") and not map_.IsSingle("f") and not map_.IsBoolean("f")
    assert not map_.IsEmpty("a") and not map_.IsArray("a") and not map_.IsObject("a")
    raises(quenlo.ErrInvalidOperation, made("SetArray").GetKeys)
    raises(quenlo.ErrInvalidOperation, made("SetNil").Length)
    assert not made("SetNil").Exists(1)
    array = made("SetArray")
    array.AddLast((1, 2))
    array.AddLast(made("SetMap"))
    array.AddLast(quenlo.Empty)
    assert array.IsArray(1) and array.IsObject(2) and array.IsEmpty(3)
    assert array[1] == (1, 2) and array[3] is quenlo.Empty


def test_adding_and_removing():
    array = made("SetArray")
    array.AddLast(2)
    array.AddFirst(1)
    array.Insert(2, 1.5)
    assert list(array) == [1, 1.5, 2]
    array.Remove(2)
    del array[1]
    assert list(array) == [2]
    array.RemoveAll()
    assert len(array) == 0
    map_ = made("SetMap")
    map_.AddLast("b")
    map_.AddFirst("a")
    assert list(map_.GetKeys()) == ["a", "b"] and list(map_) == [None, None]
    raises(quenlo.ErrDuplicateValue, map_.AddLast, "a")
    map_.Remove("a")
    assert list(map_.GetKeys()) == ["b"]
    raises(quenlo.ErrInvalidOperation, map_.Insert, 1, 1)
    raises(quenlo.ErrInvalidOperation, made("SetStack").AddLast, 1)
    raises(quenlo.ErrSubscriptOutOfRange, made("SetArray", 0).AddLast, 1)


def test_stack_queue_and_find():
    stack, queue = made("SetStack"), made("SetQueue")
    for value in (1, 2, 3):
        stack.Push(value)
        queue.Push(value)
    assert (list(stack), list(queue)) == ([3, 2, 1], [1, 2, 3])  # iteration leaves them as they were
    assert (stack.Pop(), queue.Pop(), len(stack), len(queue)) == (3, 1, 2, 2)
    raises(quenlo.ErrSubscriptOutOfRange, made("SetStack").Pop)
    raises(quenlo.ErrInvalidOperation, made("SetMap").Push, 1)
    assert (queue.Find(3), queue.Find(1), queue.Find(3, 3)) == (2, -1, -1)
    set_ = made("SetSet", "x", "y", "x")
    assert (set_.Find("x"), set_.Find("x", 2)) == (1, 3)
    raises(quenlo.ErrInvalidOperation, made("SetNil").Find, 1)


def test_clone_become_and_iteration():
    map_ = made("SetMap")
    map_["a"] = 1
    copy = map_.Clone()
    copy.Remove("a")
    assert (len(map_), len(copy)) == (1, 0)
    target = made("SetStack")
    target.Tag = "kept"
    target.Become(map_)
    assert (target.Kind, target["a"], target.Tag) == (quenlo.KindMap, 1, "kept")
    raises(91, target.Become, None)
    assert list(made("SetNil")) == [] and list(quenlo.Tavrix()) == []
    assert len(made("SetNil")) == len(quenlo.Tavrix()) == 0


def test_text_listing_and_consistency():
    text = H + "{a: " + H + "[\\2\\1, \\8\\x], b: " + H + "`\\11\\True\u00b4}"
    tree = quenlo.Tavrix()
    tree.SetObjectString(text)
    assert tree.GetObjectString() == text
    assert repr(tree) == "<quenlo.Tavrix " + text + ">"
    assert "a" in tree.DebugPrint() and "True" in tree.DebugPrint()
    assert tree.FindInconsistency() == ""
    raises(5, tree.SetObjectString, H + "[abc]")
    assert tree.GetObjectString() == text  # a failed read changes nothing
    assert repr(quenlo.Tavrix()) == "<quenlo.Tavrix without text: error 9, Subscript out of range>"


def test_set_set_takes_any_number_of_members():
    assert list(made("SetSet")) == []
    assert list(made("SetSet", 1, "a", None, [2])) [:3] == [1, "a", None]
    nested = made("SetSet", [2])[1]
    assert (type(nested), list(nested)) == (quenlo.Tavrix, [2])
