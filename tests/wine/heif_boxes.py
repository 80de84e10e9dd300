"""Adds rotation ('irot') and mirroring ('imir') properties to the primary picture of a
HEIF file, for the tests: the Debian encoder (heif-enc) writes none, so the tests make
turned and mirrored files from a plain one by editing its boxes. The coded picture stays
byte for byte the same; only the property container, the item-property associations and
the data offsets (the metadata grows, so the media data moves) change.

Handles what heif-enc writes: ftyp, meta, then mdat."""
import struct


def _boxes(data: bytes, start: int, end: int):
    """(type, start, header size, end) of every box in data[start:end]."""
    out, pos = [], start
    while pos < end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = 8
        if size == 1:
            size = struct.unpack(">Q", data[pos + 8:pos + 16])[0]
            header = 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            raise ValueError(f"bad box {kind!r} at {pos}")
        out.append((kind.decode("latin-1"), pos, header, pos + size))
        pos += size
    return out


def _box(kind: str, body: bytes) -> bytes:
    return struct.pack(">I4s", 8 + len(body), kind.encode()) + body


def _child(boxes, kind):
    found = [b for b in boxes if b[0] == kind]
    if len(found) != 1:
        raise ValueError(f"expected one {kind} box, found {len(found)}")
    return found[0]


def _shift_iloc(body: bytes, delta: int) -> bytes:
    """The 'iloc' full box body with every file offset moved by delta."""
    body = bytearray(body)
    version = body[0]
    sizes = body[4] << 8 | body[5]
    offset_size, length_size = sizes >> 12, (sizes >> 8) & 15
    base_size, index_size = (sizes >> 4) & 15, sizes & 15 if version in (1, 2) else 0
    pos = 6
    id_size = 4 if version == 2 else 2
    count = int.from_bytes(body[pos:pos + id_size], "big")
    pos += id_size

    def field(n):
        nonlocal pos
        value = int.from_bytes(body[pos:pos + n], "big") if n else 0
        pos += n
        return value, pos - n

    for _ in range(count):
        field(id_size)
        method = field(2)[0] & 15 if version in (1, 2) else 0
        field(2)  # data reference index
        base, base_at = field(base_size)
        extents = field(2)[0]
        # Method 0 locates data by file offset; the others (in 'idat', in other items)
        # do not move.
        moves = method == 0
        if moves and base_size and base:
            body[base_at:base_at + base_size] = (base + delta).to_bytes(base_size, "big")
        for _ in range(extents):
            field(index_size)
            offset, offset_at = field(offset_size)
            if moves and not (base_size and base):
                body[offset_at:offset_at + offset_size] = (offset + delta).to_bytes(offset_size, "big")
            field(length_size)
    return bytes(body)


def add_transforms(data: bytes, transforms) -> bytes:
    """The HEIF file `data` with `transforms` associated to its primary picture, in order
    (the order they apply in): ("irot", quarter turns anticlockwise) or ("imir", axis:
    0 exchanges top and bottom, 1 exchanges left and right)."""
    top = _boxes(data, 0, len(data))
    meta = _child(top, "meta")
    if any(b[0] == "mdat" and b[1] < meta[1] for b in top):
        raise ValueError("media data before the metadata is not handled")
    m_start = meta[1] + meta[2] + 4  # a full box: version and flags
    children = _boxes(data, m_start, meta[3])
    pitm = _child(children, "pitm")
    primary = struct.unpack(">H", data[pitm[1] + pitm[2] + 4:pitm[1] + pitm[2] + 6])[0]
    iprp = _child(children, "iprp")
    parts = _boxes(data, iprp[1] + iprp[2], iprp[3])
    ipco, ipma = _child(parts, "ipco"), _child(parts, "ipma")

    properties = data[ipco[1] + ipco[2]:ipco[3]]
    first_new = len(_boxes(data, ipco[1] + ipco[2], ipco[3])) + 1
    for kind, value in transforms:
        properties += _box(kind, bytes([value]))
    new_ipco = _box("ipco", properties)

    # ipma: per item its property indices (1-based), bit 7 (or 15) marking essential ones.
    body = data[ipma[1] + ipma[2]:ipma[3]]
    version, flags = body[0], int.from_bytes(body[1:4], "big")
    wide = flags & 1
    id_size = 2 if version < 1 else 4
    pos, count = 8, struct.unpack(">I", body[4:8])[0]
    out = bytearray(body[:8])
    for _ in range(count):
        item = int.from_bytes(body[pos:pos + id_size], "big")
        n = body[pos + id_size]
        assoc = body[pos + id_size + 1:pos + id_size + 1 + n * (2 if wide else 1)]
        pos += id_size + 1 + len(assoc)
        if item == primary:
            for k in range(len(transforms)):
                index = first_new + k
                assoc += struct.pack(">H", 0x8000 | index) if wide else bytes([0x80 | index])
            n += len(transforms)
        out += item.to_bytes(id_size, "big") + bytes([n]) + assoc
    new_ipma = _box("ipma", bytes(out))

    new_iprp_body = b"".join(new_ipco if p[0] == "ipco" else new_ipma if p[0] == "ipma"
                             else data[p[1]:p[3]] for p in parts)
    new_iprp = _box("iprp", new_iprp_body)
    delta = len(new_iprp) - (iprp[3] - iprp[1])
    meta_children = []
    for c in children:
        if c[0] == "iprp":
            meta_children.append(new_iprp)
        elif c[0] == "iloc":
            meta_children.append(_box("iloc", _shift_iloc(data[c[1] + c[2]:c[3]], delta)))
        else:
            meta_children.append(data[c[1]:c[3]])
    new_meta = _box("meta", data[meta[1] + meta[2]:m_start] + b"".join(meta_children))
    return data[:meta[1]] + new_meta + data[meta[3]:]
