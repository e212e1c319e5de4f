# Cuts a single-file zip archive into a spanned set stored as numbered files
# (NAME001.zip, ...): the spanned-set signature first, parts of the given
# size, local header offsets and start disks made relative to their parts,
# and the end record on the last part.
import struct, sys

src, size, stem = sys.argv[1], int(sys.argv[2]), sys.argv[3]
data = open(src, 'rb').read()
end = data.rfind(b'PK\x05\x06')
(_, _, _, here, total, cd_size, cd_off, clen) = struct.unpack('<IHHHHIIH', data[end:end + 22])
body = b'PK\x07\x08' + data[:cd_off]  # every offset grows by 4
def place(offset):
    return offset // size, offset % size
cd = bytearray(data[cd_off:cd_off + cd_size])
p = 0
for _ in range(total):
    name_len, extra_len, comment_len = struct.unpack('<HHH', cd[p + 28:p + 34])
    (local,) = struct.unpack('<I', cd[p + 42:p + 46])
    disk, within = place(local + 4)
    struct.pack_into('<H', cd, p + 34, disk)
    struct.pack_into('<I', cd, p + 42, within)
    p += 46 + name_len + extra_len + comment_len
stream = body + bytes(cd)
cd_disk, cd_within = place(len(body))
parts = [stream[i:i + size] for i in range(0, len(stream), size)]
if len(stream) % size == 0:
    parts.append(b'')
last = len(parts) - 1
record = struct.pack('<IHHHHIIH', 0x06054B50, last, cd_disk, total if cd_disk == last else 0, total, cd_size,
                     cd_within, clen) + data[end + 22:end + 22 + clen]
parts[last] += record
for i, part in enumerate(parts):
    open('%s%03d.zip' % (stem, i + 1), 'wb').write(part)
