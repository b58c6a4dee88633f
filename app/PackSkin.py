"""Packs the skin folder into the deflated ZIP archive that Movara carries as
a resource: python3 PackSkin.py <skin folder> <output.zip>

Entries lie at the archive's root in name order with a fixed time stamp, so the
same folder always gives the same bytes."""
import os
import sys
import zipfile

ENTRIES = [
    "skin.xml",
    "window_big.png",
    "btn_green_nor.png", "btn_green_hover.png", "btn_green_pressed.png", "btn_green_disabled.png",
    "btn_white_nor.png", "btn_white_hover.png", "btn_white_pressed.png", "btn_white_disabled.png",
    "btn_closed_normal.png", "btn_closed_hover.png", "btn_closed_pressed.png", "btn_closed_disabled.png",
    "icon_min_nor.png", "icon_min_hover.png", "icon_min_pressed.png",
    "updata_loading_bg.png", "updata_loading.png",
    "scrollbar.bmp",
    "window_updata_popup.png",
]


def main():
    folder, output = sys.argv[1], sys.argv[2]
    missing = [name for name in ENTRIES if not os.path.isfile(os.path.join(folder, name))]
    if missing:
        sys.exit("skin files missing: " + ", ".join(missing))
    temporary = output + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name in ENTRIES:
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(os.path.join(folder, name), "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    os.replace(temporary, output)


if __name__ == "__main__":
    main()
