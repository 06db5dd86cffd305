#!/usr/bin/python3
"""The page's web fonts: every font of the kit, and the Unicode Tibetan font of the page, as WOFF2.

Writes NAME.woff2 for each kit font (NAME its family name, as the Tsendrel RTF's font table names it) and
for the Unicode font, fonts.css with an @font-face for each, and the licences beside them. The browser
downloads only the fonts a page shows.
"""
import argparse
import logging
import pathlib
import shutil

from fontTools.ttLib import TTFont

# Debian's fonts-ddc-uchen (SIL Open Font License): the page's Unicode Tibetan, and the stand-in for the
# Unicode font an RTF names.
UNICODE_FONT = pathlib.Path('/usr/share/fonts/truetype/tibetan/DDC_Uchen.ttf')
UNICODE_LICENCE = pathlib.Path('/usr/share/doc/fonts-ddc-uchen/copyright')
UNICODE_FAMILY = 'DDC Uchen'


def to_woff2(source: pathlib.Path, target: pathlib.Path) -> None:
    font = TTFont(source)
    font.flavor = 'woff2'
    font.save(target)


def main() -> None:
    # The kit's fonts carry no dates (their builds are reproducible), which fontTools would note for each.
    logging.getLogger('fontTools').setLevel(logging.ERROR)
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--kit', required=True, type=pathlib.Path, help='the font kit (TTF and LICENCE-*.txt)')
    parser.add_argument('--out', required=True, type=pathlib.Path)
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)

    faces = []
    for ttf in sorted(args.kit.glob('*.ttf')):
        to_woff2(ttf, args.out / f'{ttf.stem}.woff2')
        faces.append((ttf.stem, f'{ttf.stem}.woff2'))
    for licence in args.kit.glob('LICENCE-*.txt'):
        shutil.copyfile(licence, args.out / licence.name)
    to_woff2(UNICODE_FONT, args.out / 'DDC_Uchen.woff2')
    shutil.copyfile(UNICODE_LICENCE, args.out / 'LICENCE-DDC_Uchen.txt')
    faces.append((UNICODE_FAMILY, 'DDC_Uchen.woff2'))

    css = ''.join(
        f"@font-face {{ font-family: '{family}'; src: url('{file}') format('woff2'); font-display: block; }}\n"
        for family, file in faces)
    (args.out / 'fonts.css').write_text(css)


if __name__ == '__main__':
    main()
