"""Checks the statistics documents the example installer and uninstaller spooled."""
import hashlib
import json
import sys

SALT = "zumquerbalt_!*^~"


def load(path):
    text = open(path, "rb").read().decode("ascii")
    if not text.endswith("\n"):
        sys.exit(f"{path}: the document does not end with a line feed: it was cut ({len(text)} characters)")
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
    expect(answer == EXPECTED_ANSWERS, f"the survey answers are {answer}")


def uninstall_length(event, survey_answers):
    """Length of the uninstall document the same machine gives at the same time."""
    doc = dict(event)
    doc.update(cid=8, protocol=5, events=[{"account": "", "type": 2, "payload": {"uninstall-event": {
        str(event["time"]): survey_answers}}}])
    return len(json.dumps(doc, sort_keys=True, separators=(",", ":"))) + 1


EXPECTED_ANSWERS = {"feedback": {"uninstall_question": "too-slow", "uninstall_qq": "10001",
                                 "uninstall_email": "a@b.cn", "uninstall_telnumber": "138"},
                    "options": {"uninstall-event1": 1, "uninstall-event2": 3}}
LIMIT = 1023  # characters a standard NSIS build carries


def check_survey(path, uuid, event_path):
    """The survey is whole when it fits the installer's strings and not sent when it does not; never cut."""
    length = uninstall_length(load(event_path), EXPECTED_ANSWERS)
    try:
        text = open(path, "rb").read().decode("ascii")
    except FileNotFoundError:
        text = None
    if length <= LIMIT:
        expect(text is not None, f"the survey ({length} characters) fits but was not sent")
        check_uninstall(load(path), uuid)
        print(f"ok   the survey ({length} characters) was sent whole")
    elif text is None:
        print(f"ok   the survey ({length} characters) does not fit in {LIMIT} and was not sent")
    else:
        sys.exit(f"the survey ({length} characters) does not fit, yet {len(text)} characters were sent")


if sys.argv[1] == "event":
    check_event(load(sys.argv[2]), sys.argv[3])
else:
    check_survey(*sys.argv[2:5])
