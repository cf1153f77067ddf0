#!/usr/bin/env python3
"""Makes the game's pictures and sounds: assets/graphic and assets/sound.

Needs Python 3 (standard library) and, for the music, libmp3lame (Debian libmp3lame0).
Usage: tools/assetgen.py [--pictures] [--sounds] [--music] [OUTPUT_DIR]   (default: all, into assets/)
"""

import os
import sys

sys.dont_write_bytecode = True  # leave no caches in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


def main(argv):
    kinds = {a for a in argv if a.startswith("--")}
    rest = [a for a in argv if not a.startswith("--")]
    out = rest[0] if rest else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
    every = not kinds
    if every or "--pictures" in kinds:
        import assetgen_pictures
        os.makedirs(os.path.join(out, "graphic"), exist_ok=True)
        for name, canvas in assetgen_pictures.make_all().items():
            path = os.path.join(out, "graphic", name)
            canvas.save_png(path) if name.endswith(".png") else canvas.save_bmp(path)
            print("wrote", path)
    if every or "--sounds" in kinds or "--music" in kinds:
        import assetgen_audio
        os.makedirs(os.path.join(out, "sound"), exist_ok=True)
        if every or "--sounds" in kinds:
            for name, samples in assetgen_audio.make_effects().items():
                path = os.path.join(out, "sound", name)
                assetgen_audio.save_wav(path, samples)
                print("wrote", path)
        if every or "--music" in kinds:
            path = os.path.join(out, "sound", "violin.mp3")
            assetgen_audio.save_mp3(path, assetgen_audio.make_music())
            print("wrote", path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
