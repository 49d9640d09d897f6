#!/usr/bin/env python3
"""Writes the page's shell: its template with the fonts, icon and licence
filled in.

The labels' Kai face and the buttons' Song face travel with the page, so
that it shows them on a machine with no Chinese fonts. Each is a subset of
Debian's AR PL font to the characters the page can show, with a notice of
the change in its name table, as the Arphic Public License asks; the
licence's text goes into the page unaltered, and beside the fonts.

  webpage.py TEMPLATE TEXTS_HEADER KAI_FONT SONG_FONT ICON_PNG LICENCE OUT_DIR
"""
import base64
import datetime
import gzip
import html
import os
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTFont


def literals(header, names=None):
    """The UTF-16 literals of the texts header, all or those named."""
    found = re.findall(r'k(\w+)\[\]\s*=\s*u"((?:[^"\\]|\\.)*)"', header)
    return [text.replace('\\n', '\n') for name, text in found if names is None or name in names]


def characters(texts, extra=''):
    """The characters of texts and of extra, with every printable ASCII one."""
    chars = set(''.join(texts) + extra) | {chr(c) for c in range(0x20, 0x7F)}
    return ''.join(sorted(c for c in chars if c.isprintable()))


def subset_font(path, text, out, when):
    options = subset.Options()
    options.flavor = 'woff2'
    options.name_IDs = ['*']
    options.name_languages = ['*']
    options.layout_features = ['*']
    font = TTFont(path, fontNumber=0, lazy=False)
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)
    notice = ('Modified on %s by the build of Kestivo1: subset with fontTools to the %d characters '
              'its page shows; no glyph was changed.' % (when, len(text)))
    name = font['name']
    for record in list(name.names):
        if record.nameID == 10:
            name.removeNames(nameID=10)
            break
    name.setName(notice, 10, 3, 1, 0x409)
    name.setName(notice, 10, 1, 0, 0)
    font.flavor = 'woff2'
    font.save(out)


def data_url(path, kind):
    with open(path, 'rb') as f:
        return 'data:%s;base64,%s' % (kind, base64.b64encode(f.read()).decode('ascii'))


def main(argv):
    if len(argv) != 8:
        sys.exit(__doc__)
    template, texts_header, kai, song, icon, licence, out_dir = argv[1:]
    os.makedirs(out_dir, exist_ok=True)
    with open(texts_header, encoding='utf-8') as f:
        header = f.read()
    with open(template, encoding='utf-8') as f:
        page = f.read()
    epoch = os.environ.get('SOURCE_DATE_EPOCH')
    when = (datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc) if epoch
            else datetime.datetime.now(datetime.timezone.utc)).strftime('%Y-%m-%d')

    labels = literals(header, {'Label1', 'Label2', 'Label3', 'Label4'})
    # The page's own lines are in the template, outside its markup.
    own = re.sub(r'<[^>]*>|@\w+@|\{\{\{[^}]*\}\}\}', '', page)
    kai_out = os.path.join(out_dir, 'kestivo1-kai.woff2')
    song_out = os.path.join(out_dir, 'kestivo1-song.woff2')
    subset_font(kai, characters(labels), kai_out, when)
    subset_font(song, characters(literals(header), own), song_out, when)
    opener = gzip.open if licence.endswith('.gz') else open
    with opener(licence, 'rt', encoding='utf-8') as f:
        licence_text = f.read()
    with open(os.path.join(out_dir, 'ARPHICPL.TXT'), 'w', encoding='utf-8') as f:
        f.write(licence_text)

    page = (page.replace('@KAI_FONT_URL@', data_url(kai_out, 'font/woff2'))
                .replace('@SONG_FONT_URL@', data_url(song_out, 'font/woff2'))
                .replace('@ICON_URL@', data_url(icon, 'image/png'))
                .replace('@LICENCE@', html.escape(licence_text)))
    with open(os.path.join(out_dir, 'shell.html'), 'w', encoding='utf-8') as f:
        f.write(page)


if __name__ == '__main__':
    main(sys.argv)
