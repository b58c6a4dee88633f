"""Writes a realistic mail profile for Movara to migrate:
    python3 make_profile.py <APPDATA folder> <approximate MiB>

Creates <APPDATA>/harbec/Tarn/profiles.ini (Profile0 the default profile with a
relative Path, plus a second profile and a General section that must survive the
rewrite) and the profile folder Profiles/abcd1234.default: large mailbox files,
hundreds of small cache files, nested folders, Chinese names and empty files.
The content is the same on every run (fixed seed)."""
import os
import random
import sys

PROFILES_INI = (
    "[General]\r\n"
    "StartWithLastProfile=1\r\n"
    "Version=2\r\n"
    "\r\n"
    "[Profile1]\r\n"
    "Name=work\r\n"
    "IsRelative=1\r\n"
    "Path=Profiles/w0rk5678.work\r\n"
    "\r\n"
    "[Profile0]\r\n"
    "Name=default\r\n"
    "IsRelative=1\r\n"
    "Path=Profiles/abcd1234.default\r\n"
    "Default=1\r\n"
)

SUBJECTS = ["季度报告", "Meeting notes", "发票 #2041", "Re: 项目进度", "Weekly digest", "旅行安排", "Build failed"]


def message(rng, n):
    subject = rng.choice(SUBJECTS)
    body = " ".join(rng.choice(["邮件", "数据", "迁移", "hello", "world", "profile", "附件", "测试"]) for _ in range(60))
    return (
        f"From - Mon Dec  7 10:{n % 60:02d}:00 2026\r\n"
        f"Message-ID: <{n}.{rng.randrange(10**9)}@ostra.example>\r\n"
        f"From: sender{n % 17}@example.com\r\nTo: user@example.com\r\n"
        f"Subject: {subject}\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n{body}\r\n\r\n"
    ).encode("utf-8")


def write_mailbox(path, rng, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    block = b"".join(message(rng, n) for n in range(400))
    with open(path, "wb") as out:
        written, n = 0, 0
        while written < size:
            piece = block[: size - written]
            # Vary each block so no two are identical.
            header = f"X-Block: {n}\r\n".encode()
            out.write(header)
            out.write(piece)
            written += len(header) + len(piece)
            n += 1


def write_random(path, rng, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(rng.randbytes(size))


def main():
    appdata, mib = sys.argv[1], float(sys.argv[2])
    rng = random.Random(20261207)
    tarn = os.path.join(appdata, "harbec", "Tarn")
    profile = os.path.join(tarn, "Profiles", "abcd1234.default")
    os.makedirs(profile, exist_ok=True)
    with open(os.path.join(tarn, "profiles.ini"), "w", encoding="ascii", newline="") as ini:
        ini.write(PROFILES_INI)
    os.makedirs(os.path.join(tarn, "Profiles", "w0rk5678.work"), exist_ok=True)

    total = int(mib * 1024 * 1024)
    large = [
        ("Mail/Local Folders/Inbox", 0.34),
        ("Mail/Local Folders/Sent", 0.16),
        ("Mail/Local Folders/归档.sbd/2025", 0.12),
        ("ImapMail/imap.example.com/INBOX", 0.14),
        ("ImapMail/imap.example.com/收件箱.sbd/重要", 0.06),
    ]
    for name, share in large:
        write_mailbox(os.path.join(profile, name), rng, int(total * share))
        with open(os.path.join(profile, name + ".msf"), "wb") as msf:
            msf.write(rng.randbytes(4096 + rng.randrange(60000)))
    write_random(os.path.join(profile, "places.sqlite"), rng, int(total * 0.05))
    write_random(os.path.join(profile, "global-messages-db.sqlite"), rng, int(total * 0.04))

    # Hundreds of small cache entries in nested folders.
    for i in range(600):
        folder = os.path.join(profile, "cache2", "entries", f"{i % 16:02X}")
        write_random(os.path.join(folder, f"{rng.getrandbits(64):016X}"), rng, 200 + rng.randrange(12000))
    for i in range(40):
        write_random(os.path.join(profile, "附件", "报价单", f"附件{i:03d}.bin"), rng, 1000 + rng.randrange(40000))
    deep = os.path.join(profile, "extensions", "层级一", "层级二", "层级三", "level4")
    write_random(os.path.join(deep, "manifest.json"), rng, 777)

    # Empty files and an empty folder are part of a profile too.
    for name in ("lock", "Mail/Local Folders/Trash", "ImapMail/imap.example.com/Drafts"):
        path = os.path.join(profile, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        open(path, "wb").close()
    os.makedirs(os.path.join(profile, "minidumps"), exist_ok=True)
    with open(os.path.join(profile, "prefs.js"), "w", encoding="utf-8", newline="\r\n") as prefs:
        prefs.write('user_pref("mail.server.server1.name", "本地文件夹");\n')
        prefs.write('user_pref("mail.root.none", "C:\\\\Users\\\\demo\\\\Mail");\n')


if __name__ == "__main__":
    main()
