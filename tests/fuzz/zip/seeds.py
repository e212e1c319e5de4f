# Writes the first corpus of a fuzz target from the test archives: for the
# directory reader an option byte and an archive, for the joiner the sets
# in the joiner's format (two part lengths, then the parts).
import os, struct, sys

data, out, kind = sys.argv[1], sys.argv[2], sys.argv[3]
def read(name):
    return open(os.path.join(data, name), 'rb').read()
if kind == 'corpus-dir':
    for name in sorted(os.listdir(data)):
        if name.endswith('.zip') and os.path.getsize(os.path.join(data, name)) < 100000:
            open(os.path.join(out, name), 'wb').write(b'\x00' + read(name))
else:
    for stem in ('span', 'desc'):
        parts = [read('%s%03d.zip' % (stem, i)) for i in (1, 2, 3)]
        blob = struct.pack('<II', len(parts[0]), len(parts[1])) + b''.join(parts)
        open(os.path.join(out, stem), 'wb').write(blob)
    for name in ('stored.zip', 'piped.zip'):
        open(os.path.join(out, name), 'wb').write(struct.pack('<II', 0, 0) + read(name))
