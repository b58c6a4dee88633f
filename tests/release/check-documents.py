"""Checks the statistics documents the example installer and uninstaller spooled."""
import hashlib
import json
import sys

SALT = "zumquerbalt_!*^~"


def load(path):
    text = open(path, "rb").read().decode("ascii")
    if not text.endswith("\n"):
        sys.exit(f"{path}: the document does not end with a line feed (cut?)")
    return json.loads(text)


def expect(condition, message):
    if not condition:
        sys.exit(message)


def check_common(doc, uuid, cid):
    expect(doc["uuid"] == uuid, f'"uuid" is {doc["uuid"]!r}, the installation recorded {uuid!r}')
    expect(doc["p"] == "ostra_setup" and doc["ver"] == "3.1.4", f'"p"/"ver" are {doc["p"]!r}/{doc["ver"]!r}')
    expect(doc["cid"] == cid, f'"cid" is {doc["cid"]}')
    signed = uuid + str(cid) + str(doc["time"]) + SALT
    expect(doc["sign"] == hashlib.md5(signed.encode("ascii")).hexdigest(), '"sign" does not match')


def check_event(doc, uuid):
    check_common(doc, uuid, 26)
    expect(doc["protocol"] == 2, f'"protocol" is {doc["protocol"]}')
    flow = doc["events"][0]["flow"][0]
    expect(flow["event_id"] == "install_finish", f'"event_id" is {flow["event_id"]!r}')
    expect(flow["happened"] == [doc["time"]], '"happened" differs from "time"')


def check_uninstall(doc, uuid):
    check_common(doc, uuid, 8)
    expect(doc["protocol"] == 5, f'"protocol" is {doc["protocol"]}')
    answers = doc["events"][0]["payload"]["uninstall-event"]
    expect(list(answers) == [str(doc["time"])], f"survey keyed by {list(answers)}")
    answer = answers[str(doc["time"])]
    expect(answer["options"] == {"uninstall-event1": 1, "uninstall-event2": 3}, f'"options" are {answer["options"]}')
    expect(answer["feedback"] == {"uninstall_question": "太慢", "uninstall_qq": "10001",
                                  "uninstall_email": "a@b.cn", "uninstall_telnumber": "138"},
           f'"feedback" is {answer["feedback"]}')


kind, path, uuid = sys.argv[1:4]
{"event": check_event, "uninstall": check_uninstall}[kind](load(path), uuid)
print(f"ok   {kind} document {path}")
