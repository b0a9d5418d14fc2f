#!/usr/bin/env python3
"""Reads an EPUB as a reader library would (zipfile and an XML parser, nothing of ours) and
checks it against the novel it was made from.

    epub_read.py BOOK.epub NOVEL.txt ENCODING

ENCODING is a Python codec name (gb18030, utf-8, utf-16). Prints the metadata as
"key<TAB>value" lines, then the table of contents of the navigation document as
"toc<TAB>level<TAB>label" lines. Exits 1, saying why, when the container is not as EPUB
wants it, the NCX and the navigation document disagree, or the paragraphs of the spine's
documents are not the novel's lines less their leading blanks, blank lines left out."""
import re
import sys
import xml.etree.ElementTree as ET
import zipfile

NS = {
    "opf": "http://www.idpf.org/2007/opf",
    "dc": "http://purl.org/dc/elements/1.1/",
    "x": "http://www.w3.org/1999/xhtml",
    "ncx": "http://www.daisy.org/z3986/2005/ncx/",
    "c": "urn:oasis:names:tc:opendocument:xmlns:container",
}
BLANKS = " \t\u3000\u00a0"


def fail(why):
    print("epub_read: " + why, file=sys.stderr)
    sys.exit(1)


def main():
    book, novel, encoding = sys.argv[1:4]
    z = zipfile.ZipFile(book)
    first = z.infolist()[0]
    if first.filename != "mimetype" or first.compress_type != zipfile.ZIP_STORED or first.extra:
        fail("mimetype is not the first file, stored, without extra field")
    if z.read("mimetype") != b"application/epub+zip":
        fail("wrong mimetype")
    container = ET.fromstring(z.read("META-INF/container.xml"))
    opf_path = container.find(".//c:rootfile", NS).get("full-path")
    base = opf_path.rsplit("/", 1)[0] + "/" if "/" in opf_path else ""
    opf = ET.fromstring(z.read(opf_path))
    meta = opf.find("opf:metadata", NS)
    print("title\t" + meta.find("dc:title", NS).text)
    creator = meta.find("dc:creator", NS)
    print("author\t" + (creator.text if creator is not None else ""))
    print("language\t" + meta.find("dc:language", NS).text)
    print("identifier\t" + meta.find("dc:identifier", NS).text)
    modified = [m.text for m in meta.findall("opf:meta", NS) if m.get("property") == "dcterms:modified"]
    if len(modified) != 1 or not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", modified[0]):
        fail("no modification date")
    items = {i.get("id"): i for i in opf.find("opf:manifest", NS)}
    spine = opf.find("opf:spine", NS)
    ncx_path = base + items[spine.get("toc")].get("href")
    nav_path = base + next(i.get("href") for i in items.values() if i.get("properties") == "nav")
    documents = [base + items[r.get("idref")].get("href") for r in spine]

    # The paragraphs, in the order of the spine.
    description = meta.find("dc:description", NS)
    print("description\t" + (description.text if description is not None else "").replace("\n", " "))
    # The cover: the page the guide and the landmarks name, first in the spine, and its picture.
    guide = {r.get("type"): base + r.get("href") for r in opf.iter("{%s}reference" % NS["opf"])}
    cover = guide.get("cover")
    if cover is None or not documents or documents[0] != cover:
        fail("no cover page first in the spine")
    images = [i for i in items.values() if i.get("properties") == "cover-image"]
    print("cover\t" + (images[0].get("media-type") if images else "page"))
    paragraphs = []
    for name in documents:
        body = ET.fromstring(z.read(name)).find("x:body", NS)
        if name == cover:
            if body.get("{http://www.idpf.org/2007/ops}type") != "cover":
                fail("the cover page is not marked as one")
            continue
        for element in body:
            if element.tag not in ("{%s}p" % NS["x"], "{%s}h1" % NS["x"], "{%s}h2" % NS["x"]):
                fail("%s holds a %s" % (name, element.tag))
            paragraphs.append(element.text or "")
    with open(novel, "rb") as f:
        text = f.read().decode(encoding)
    text = text.lstrip("\ufeff")
    lines = []
    # An old Mac novel ends its lines in a carriage return alone.
    for line in text.split("\n" if "\n" in text or "\r" not in text else "\r"):
        if line.endswith("\r"):
            line = line[:-1]
        line = line.lstrip(BLANKS)
        if line:
            lines.append(line)
    # The XML reader gives back a lone carriage return as a line feed unless it was escaped.
    if paragraphs != lines:
        for k, (a, b) in enumerate(zip(paragraphs, lines)):
            if a != b:
                fail("paragraph %d differs from the novel's line: %r / %r" % (k + 1, a[:40], b[:40]))
        fail("%d paragraphs, %d lines" % (len(paragraphs), len(lines)))

    # The navigation document and the NCX list the same entries at the same levels.
    def nav_entries(ol, level):
        for li in ol.findall("x:li", NS):
            a = li.find("x:a", NS)
            yield level, a.text, base + a.get("href")
            inner = li.find("x:ol", NS)
            if inner is not None:
                yield from nav_entries(inner, level + 1)

    def ncx_entries(parent, level):
        for point in parent.findall("ncx:navPoint", NS):
            label = point.find("ncx:navLabel/ncx:text", NS).text
            yield level, label, base + point.find("ncx:content", NS).get("src")
            yield from ncx_entries(point, level + 1)

    navs = {n.get("{http://www.idpf.org/2007/ops}type"): n for n in ET.fromstring(z.read(nav_path)).iter("{%s}nav" % NS["x"])}
    marks = [a.get("{http://www.idpf.org/2007/ops}type") for a in navs["landmarks"].iter("{%s}a" % NS["x"])]
    if "cover" not in marks:
        fail("no cover among the landmarks")
    nav = navs["toc"].find("x:ol", NS)
    toc = list(nav_entries(nav, 1))
    ncx = ET.fromstring(z.read(ncx_path))
    if list(ncx_entries(ncx.find("ncx:navMap", NS), 1)) != toc:
        fail("the NCX and the navigation document differ")
    if [t[2] for t in toc] != [d for d in documents if d in {t[2] for t in toc}]:
        fail("the table of contents is not in the order of the spine")
    for level, label, _ in toc:
        print("toc\t%d\t%s" % (level, label))
    print("documents\t%d" % len(documents))
    print("largest\t%d" % max(z.getinfo(d).file_size for d in documents))


main()
