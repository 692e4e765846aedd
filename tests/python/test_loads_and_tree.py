"""loads builds Python values straight from the text: they are the values of the tree that
Tavrix.SetObjectString reads from it, and its failures are that reading's failures."""

import re

import pytest

import quenlo

H = "\\11000\\"
SEQUENCES = {quenlo.KindSet: quenlo.Set, quenlo.KindStack: quenlo.Stack, quenlo.KindQueue: quenlo.Queue}


def plain(tree, named):
    """The plain values of a tree read by SetObjectString; the containers in `named` stay."""
    if tree.Kind == quenlo.KindNil:
        return quenlo.Nil
    values = [plain(value, named) if isinstance(value, quenlo.Tavrix) and all(value is not n for n in named)
              else value for value in tree]
    if tree.Kind == quenlo.KindMap:
        return dict(zip(tree.GetKeys(), values))
    if tree.Kind == quenlo.KindVariant:
        return values[0]
    return SEQUENCES[tree.Kind](values) if tree.Kind in SEQUENCES else values


def read_by_tree(text):
    tree = quenlo.Tavrix()
    tree.SetObjectString(text)
    return tree


@pytest.fixture
def looped():
    """A Stack that holds itself, and the text of its identity."""
    stack = quenlo.Tavrix()
    stack.SetStack()
    stack.Push(stack)
    yield stack, re.search(r"\\9\\[0-9]+", stack.GetObjectString()).group()
    stack.Pop()


def texts(identity):
    every_tag = ["\\0\\", "\\1\\", "\\2\\-7", "\\3\\7", "\\3\\70000", "\\4\\0.1", "\\5\\-2.5E-07", "\\5\\NaN",
                 "\\6\\12.5", "\\7\\2026-12-06", "\\7\\2026-12-06 15:04:05", "\\8\\Zoë a\\b", "\\9\\0",
                 "\\10\\Error 5", "\\11\\True", "\\14\\-1.25", "\\17\\255", "\\99\\x", "\\8\\\udce9"]
    record = "{name: \\8\\lamp, id: \\3\\100001, tags: " + H + "[\\8\\a, \\8\\b]}"
    return [
        H + "[" + ", ".join(every_tag) + "]",
        H + "{" + ", ".join(f"k{i}: {element}" for i, element in enumerate(every_tag)) + "}",
        H + "[" + ", ".join([H + record] * 3) + "]",
        H + "<" + H + "(" + H + "{a: " + H + "`\\2\\1, \\2\\2\u00b4}), " + H + "[], " + H + "nil, " + H
        + "\\3\\7, " + identity + ">",
        H + "{x: " + identity + ", y: " + H + "[" + identity + "]}",
        H + "{a: \\2\\1} b, " + H + "[" + H + "{c, \\2\\2}]}",
        H + "[" + H + ",8\\x: , \\2\\1]",
        H + "\\7\\15:04:05", H + "\\8\\x, y ", H + "nil", "[]", H + identity,
    ]


def test_loads_gives_the_values_of_the_tree_read_from_the_same_text(looped):
    stack, identity = looped
    for text in texts(identity):
        value = quenlo.loads(text)
        assert repr(value) == repr(plain(read_by_tree(text), [stack])), text
    assert quenlo.loads(H + "[" + identity + "]")[0] is stack


@pytest.mark.parametrize("text", [
    "", H, "NIL", H + "[abc]", H + "[\\x\\1]", H + "[\\2\\70000]", H + "{a: \\2\\1, a: \\2\\2}",
    H + "[" + H + "{b: \\2\\1, b: " + H + "[]}]", H + "{a: \\2\\1, b}", H + "[" + H + "[", H + "[\\9\\123456789]",
    H + "{a: " + H + "}", H + "[\\2\\1] x", H + "[" * 1100 + "]" * 1100, H + "[\\8\\a, b:c]",
], ids=lambda value: value[:30])
def test_loads_fails_as_the_tree_does_at_the_same_byte(text):
    with pytest.raises(quenlo.Error) as by_loads:
        quenlo.loads(text)
    with pytest.raises(quenlo.Error) as by_tree:
        read_by_tree(text)
    assert by_loads.value.args == by_tree.value.args
    assert by_loads.value.context == by_tree.value.context
