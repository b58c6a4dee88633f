"""Checks what the Tallywick plug-in handed back to a real NSIS installer."""
import hashlib
import json
import re
import sys

SALT = "zumquerbalt_!*^~"
TOP_ORDER = ["b", "board", "c", "cid", "cpu", "custom_fields", "d", "device", "disk", "error", "events", "g",
             "guid", "history", "imei", "m", "mac", "memory", "n", "p", "package_name", "protocol", "s", "sign",
             "sub_cid", "time", "tz", "userip", "uuid", "ver", "video"]
STRINGS = ["g", "n", "m", "tz", "s", "guid", "sub_cid", "userip", "package_name", "device", "imei", "mac", "ver",
           "p", "uuid", "sign"]
errors = []


def expect(condition, message):
    if not condition:
        errors.append(message)


def ordered(pairs):
    # Keeps the members in text order so the order itself can be checked.
    return pairs



def load(path):
    raw = open(path, "rb").read()
    text = raw.decode("utf-16-le").lstrip("\ufeff")
    expect(text.endswith("\n"), "text does not end with a line feed")
    expect(text != "", "no document was pushed (too long for the installer's strings?)")
    expect(len(text) <= 1023, "text is longer than the installer's strings")
    expect(all(ord(c) < 0x80 for c in text), "text holds non-ASCII characters")
    if errors:
        return None, None
    pairs = json.loads(text, object_pairs_hook=ordered)
    plain = json.loads(text)
    return pairs, plain


def check_base(pairs, doc):
    names = [name for name, _ in pairs]
    expect(names == [n for n in TOP_ORDER if n in names], f"top-level members out of order: {names}")
    expect(set(TOP_ORDER) - {"memory", "disk", "video"} <= set(names), f"members missing: {names}")
    for name in STRINGS:
        expect(isinstance(doc.get(name), str), f'"{name}" is not a string')
    for name in ["b", "d", "cid", "protocol", "time"]:
        expect(type(doc.get(name)) is int, f'"{name}" is not an integer')
    for name in ["history", "c", "error"]:
        expect(doc.get(name) == [], f'"{name}" is not an empty array')
    expect(doc["custom_fields"] == {}, '"custom_fields" is not an empty object')
    expect(doc["m"] == "PC", '"m" is not PC')
    expect(re.fullmatch(r"\d+\*\d+", doc["g"]) is not None, f'"g" is {doc["g"]!r}')
    expect(re.fullmatch(r"\d+\.\d+\.[01]", doc["s"]) is not None, f'"s" is {doc["s"]!r}')
    expect(re.fullmatch(r"\d+\.\d+\.\d+\.\d+", doc["userip"]) is not None, f'"userip" is {doc["userip"]!r}')
    # Wine lists no physical wired adapter: the digest of the empty list.
    expect(doc["mac"] == hashlib.md5(b"").hexdigest(), f'"mac" is {doc["mac"]!r}')
    # Values Wine's WMI reports.
    board = doc["board"]
    expect(sorted(board) == ["sn", "ver"] and board["ver"] == "Base Board", f'"board" is {board}')
    cpu = doc["cpu"]
    expect(sorted(cpu) == ["cores", "sn", "ver"], f'"cpu" is {cpu}')
    expect(type(cpu.get("cores")) is int and cpu["cores"] > 0 and cpu["ver"] != "", f'"cpu" is {cpu}')
    disks = doc.get("disk", {})
    expect("disk0" in disks, f'"disk" is {disks}')
    for i, (name, disk) in enumerate(disks.items()):
        expect(name == f"disk{i}", f"disk member {name} at position {i}")
        expect(sorted(disk) == ["size", "sn", "ver"] and type(disk["size"]) is int and disk["size"] > 0,
               f"{name} is {disk}")
    if disks:
        expect(disks["disk0"]["ver"] == "Wine Disk Drive", f'disk0 is {disks["disk0"]}')
        expect(doc["device"].startswith("Wine") and doc["device"].endswith(disks["disk0"]["sn"]),
               f'"device" is {doc["device"]!r}')
    for group, fields in [("memory", ["manu", "size", "sn"]), ("video", ["name", "size"])]:
        for i, (name, entry) in enumerate(doc.get(group, {}).items()):
            expect(name == f"{group}{i}" and sorted(entry) == fields, f"{group} member {name} is {entry}")
            expect(type(entry["size"]) is int, f"{name} size is not an integer")
    expect(doc["time"] % 1000 == 0, '"time" is not whole seconds')


def check_sign(doc, cid_text):
    data = (doc["uuid"] + cid_text + str(doc["time"]) + SALT).encode("ascii")
    expect(doc["sign"] == hashlib.md5(data).hexdigest(), '"sign" does not match')


def check_event(path, stack_path):
    pairs, doc = load(path)
    if doc is None:
        return
    check_base(pairs, doc)
    expect(doc["uuid"] == "0123456789ABCDEF0123456789ABCDEF", f'"uuid" is {doc["uuid"]!r}')
    expect(doc["cid"] == 26 and doc["protocol"] == 2, f'cid {doc["cid"]}, protocol {doc["protocol"]}')
    expect(doc["ver"] == "3.1.4" and doc["p"] == "ostra_setup", f'ver {doc["ver"]!r}, p {doc["p"]!r}')
    check_sign(doc, "26")
    events = doc["events"]
    expect(len(events) == 1 and sorted(events[0]) == ["account", "flow", "type"], f'"events" is {events}')
    expect(events[0]["account"] == "" and events[0]["type"] == 1, f"event record is {events[0]}")
    flow = events[0]["flow"]
    expect(len(flow) == 1 and sorted(flow[0]) == ["event_id", "happened"], f'"flow" is {flow}')
    expect(flow[0]["event_id"] == "install_start", f'event id is {flow[0]["event_id"]!r}')
    expect(flow[0]["happened"] == [doc["time"]], '"happened" differs from "time"')
    below = open(stack_path, "rb").read().decode("utf-16-le").lstrip("\ufeff")
    expect(below == "sentinel", f"the entry below the arguments became {below!r}")


def check_uninstall(path):
    pairs, doc = load(path)
    if doc is None:
        return
    check_base(pairs, doc)
    expect(doc["protocol"] == 5 and doc["cid"] == 8, f'protocol {doc["protocol"]}, cid {doc["cid"]}')
    expect(doc["uuid"] == "FEDCBA98", f'"uuid" is {doc["uuid"]!r}')
    expect(doc["ver"] == "3.1.4" and doc["p"] == "os", f'ver {doc["ver"]!r}, p {doc["p"]!r}')
    check_sign(doc, "8")
    events = doc["events"]
    expect(len(events) == 1 and sorted(events[0]) == ["account", "payload", "type"], f'"events" is {events}')
    record = events[0]
    expect(record["type"] == 2 and record["account"] == "", f"uninstall record is {record}")
    payload = record["payload"]
    expect(list(payload) == ["uninstall-event"], f'"payload" is {payload}')
    by_time = payload["uninstall-event"]
    expect(list(by_time) == [str(doc["time"])], f"uninstall-event is keyed {list(by_time)}")
    answers = by_time.get(str(doc["time"]), {})
    expect(answers.get("options") == {"uninstall-event1": 1, "uninstall-event2": 3}, f"options {answers}")
    expect(answers.get("feedback") == {"uninstall_question": "太慢", "uninstall_qq": "10001",
                                       "uninstall_email": "a@b.cn", "uninstall_telnumber": "138"},
           f"feedback {answers}")


def check_limit(folder, max_strlen):
    """Documents of room - 1, room and room + 1 characters: whole, whole, empty."""
    room = max_strlen - 1

    def read(name):
        raw = open(f"{folder}/{name}.json", "rb").read()
        return raw.decode("utf-16-le").lstrip("\ufeff")

    base = read("limit-base")
    if base == "":
        # The machine's profile alone does not fit: every document must then be empty.
        for name in ["limit-near", "limit-at", "limit-past"]:
            expect(read(name) == "", f"{name} was pushed though even the shortest document does not fit")
        return
    expect(len(base) < room - 1, f"the first document has {len(base)} characters")
    for name, length in [("limit-near", room - 1), ("limit-at", room)]:
        text = read(name)
        expect(len(text) == length, f"{name} has {len(text)} characters, not {length}")
        try:
            doc = json.loads(text)
            answers = list(doc["events"][0]["payload"]["uninstall-event"].values())[0]
            expect(answers["feedback"]["uninstall_question"] == "q" * (length - len(base)),
                   f"{name}: the answer is not whole")
        except (ValueError, KeyError, IndexError) as error:
            expect(False, f"{name} is no whole document: {error}")
    expect(read("limit-past") == "", "a document past the limit was pushed (cut) instead of the empty string")


def check_exports(path):
    text = open(path).read()
    table = text.split("[Ordinal/Name Pointer] Table", 1)[-1]
    names = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table, re.M)
    expect(names == ["DLLGetOneEventStatistics", "NSISGetOneEventStatistics", "NSISGetUnInstallStatistics"],
           f"export names are {names}")


def main():
    kind = sys.argv[1]
    if kind == "exports":
        check_exports(sys.argv[2])
    elif kind == "event":
        check_event(sys.argv[2], sys.argv[3])
    elif kind == "uninstall":
        check_uninstall(sys.argv[2])
    elif kind == "limit":
        check_limit(sys.argv[2], int(sys.argv[3]))
    for message in errors:
        print(f"{kind}: {message}")
    if not errors:
        print(f"{kind}: ok")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
