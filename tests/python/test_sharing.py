"""Containers are shared by reference, as in C++, and cycles of containers are collected."""

import gc

import quenlo


def test_a_stored_container_is_the_same_object():
    inner = quenlo.Tavrix()
    inner.SetMap()
    outer = quenlo.Tavrix()
    outer.SetArray()
    outer.AddLast(inner)
    outer.AddLast(inner)
    assert outer[1] is inner and outer[2] is inner
    inner["a"] = 1
    assert outer.GetObjectString() == "\\11000\\[\\11000\\{a: \\2\\1}, \\11000\\{a: \\2\\1}]"
    copy = outer.Clone()
    assert copy[1] is inner  # one level is copied, nested containers are shared


def test_plain_python_values_are_copied_into_new_containers():
    values = [1, 2]
    holder = quenlo.Tavrix()
    holder.Item(1, values)
    values.append(3)
    assert len(holder.Item()) == 2


def test_cycles_of_containers_are_collected():
    gc.collect()
    quenlo.Tavrix.CollectCycles()
    first, second = quenlo.Tavrix(), quenlo.Tavrix()
    first.SetMap()
    second.SetMap()
    first["next"] = second
    second["next"] = first
    del first, second
    assert quenlo.Tavrix.CollectCycles() == 2
    assert quenlo.Tavrix.CollectCycles() == 0


def test_python_garbage_collection_also_collects_them():
    quenlo.Tavrix.CollectCycles()
    looped = quenlo.Tavrix()
    looped.SetArray()
    looped.AddLast(looped)
    reached = quenlo.Tavrix()
    reached.SetArray()
    reached.AddLast(reached)
    del looped
    gc.collect()  # a full collection runs CollectCycles after it
    assert quenlo.Tavrix.CollectCycles() == 0
    assert reached[1] is reached  # one that Python still holds stays
    reached.RemoveAll()
