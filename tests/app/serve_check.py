"""vekhost serve: a folder served to this computer only, each file with its
type, nothing outside the folder whatever the request spells.

Usage: serve_check.py VEKHOST SCRATCH_FOLDER
(a VEKHOST named .exe runs under wine, with the environment CTest gives it)
"""
import os
import re
import shutil
import socket
import subprocess
import sys

vekhost, scratch = sys.argv[1], sys.argv[2]
program = ['wine', vekhost] if vekhost.endswith('.exe') else [vekhost]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what)


def request(port, raw, host='127.0.0.1', timeout=60):
    """The raw response to a raw request line (and a Host header). The wait
    is long: a loaded machine (Wine above all) may answer slowly."""
    with socket.create_connection(('127.0.0.1', port), timeout=timeout) as s:
        head = raw + '\r\n' + (f'Host: {host}:{port}\r\n' if host else '') + '\r\n'
        s.sendall(head.encode('latin-1'))
        data = b''
        while chunk := s.recv(65536):
            data += chunk
    head, _, body = data.partition(b'\r\n\r\n')
    lines = head.decode('latin-1').split('\r\n')
    headers = {k.lower(): v.strip() for k, _, v in (l.partition(':') for l in lines[1:])}
    return int(lines[0].split()[1]), headers, body


# A page folder with a file of every kind served, a sub-folder, a hidden
# file, links in and out, and a secret beside it.
root = os.path.join(scratch, 'page')
shutil.rmtree(scratch, ignore_errors=True)
os.makedirs(os.path.join(root, 'sub'))
files = {
    'index.html': ('text/html; charset=utf-8', b'<!DOCTYPE html><title>page</title>'),
    'worker.js': ('text/javascript; charset=utf-8', b'onmessage = () => {};'),
    'tarnex.wasm': ('application/wasm', bytes(range(256)) * 1200),  # more than a send's chunk
    'page.css': ('text/css; charset=utf-8', b'body {}'),
    'picture.svg': ('image/svg+xml', b'<svg xmlns="http://www.w3.org/2000/svg"/>'),
    'sub/LineType01.BMP': ('image/bmp', b'BM' + bytes(60)),
    'sub/index.html': ('text/html; charset=utf-8', b'sub'),
    'drawing.dxf': ('application/octet-stream', b'0\nEOF\n'),
    '한국어 이름.json': ('application/json', '{"이름": 1}'.encode()),
}
for name, (_, body) in files.items():
    with open(os.path.join(root, name), 'wb') as f:
        f.write(body)
with open(os.path.join(scratch, 'secret.txt'), 'w') as f:
    f.write('secret')
with open(os.path.join(root, '.hidden'), 'w') as f:
    f.write('hidden')
os.symlink(os.path.join(scratch, 'secret.txt'), os.path.join(root, 'out-link.txt'))
os.symlink(os.path.join(root, 'page.css'), os.path.join(root, 'in-link.css'))

server = subprocess.Popen([*program, 'serve', '--port', '0', root], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)
try:
    line = server.stdout.readline()
    match = re.search(r'http://127\.0\.0\.1:(\d+)/', line)
    check(match, f'serve prints its address: {line!r}')
    port = int(match.group(1))

    # Listening on the loopback address alone (Linux: /proc/net/tcp lists
    # 0100007F, 127.0.0.1, as the local address; 00000000 would be every
    # interface).
    with open('/proc/net/tcp') as f:
        listening = [l.split()[1] for l in f if l.split()[3] == '0A']
    check(f'0100007F:{port:04X}' in listening and f'00000000:{port:04X}' not in listening,
          f'listens on 127.0.0.1:{port} only: {listening}')

    for name, (mime, body) in files.items():
        target = '/' + '/'.join(__import__('urllib.parse').parse.quote(p) for p in name.split('/'))
        status, headers, got = request(port, f'GET {target} HTTP/1.1')
        check(status == 200 and headers.get('content-type') == mime and got == body,
              f'{name}: {status} {headers.get("content-type")} {len(got)} bytes')
    status, headers, got = request(port, 'GET /?v=1 HTTP/1.1')
    check(status == 200 and got == files['index.html'][1], 'the folder gives its index.html')
    status, headers, got = request(port, 'GET /sub/ HTTP/1.1')
    check(status == 200 and got == b'sub', 'a sub-folder gives its index.html')
    status, headers, got = request(port, 'HEAD /tarnex.wasm HTTP/1.1')
    check(status == 200 and got == b'' and headers.get('content-length') == str(len(files['tarnex.wasm'][1])),
          'HEAD: the length, no body')
    status, _, _ = request(port, 'GET /in-link.css HTTP/1.1')
    check(status == 200, 'a link within the folder is served')

    # Nothing outside the folder, however the way out is spelt.
    for target in ['/../secret.txt', '/sub/../../secret.txt', '/%2e%2e/secret.txt',
                   '/%2E%2E%2Fsecret.txt', '/sub/%2e%2e%2f%2e%2e%2fsecret.txt', '/..%5csecret.txt',
                   '/..\\secret.txt', '/out-link.txt', '/.hidden', '/%2ehidden', '/./.hidden',
                   '//../secret.txt', '/' + scratch + '/secret.txt', 'secret.txt',
                   'http://127.0.0.1/../secret.txt', '/%', '/%zz', '/%-1', '/index.html%00.css',
                   '/C:/secret.txt', '/missing.html', '/sub/missing/']:
        status, _, body = request(port, f'GET {target} HTTP/1.1')
        check(status in (400, 404) and b'secret' not in body and b'hidden' not in body,
              f'{target!r} is refused: {status}')
    status, _, _ = request(port, 'POST /index.html HTTP/1.1')
    check(status == 405, 'POST is refused')
    status, _, _ = request(port, 'GET /index.html HTTP/1.1', host='attacker.example')
    check(status == 403, 'a foreign Host (a rebound name) is refused')
    status, _, _ = request(port, 'GET /index.html HTTP/1.1', host='localhost')
    check(status == 200, 'localhost is this computer')
    status, _, _ = request(port, 'GET /index.html HTTP/1.0', host=None)
    check(status == 200, 'a request without Host (HTTP/1.0)')

    # An idle connection (a browser's preconnect) does not hold the others up:
    # the request is answered before the server gives up on the idle one (10 s).
    idle = socket.create_connection(('127.0.0.1', port))
    try:
        status, _, _ = request(port, 'GET /page.css HTTP/1.1', timeout=8)
    except TimeoutError:
        status = None
    check(status == 200, 'served beside an idle connection')
    idle.close()

    # A port taken is an error saying so; a port that is no port a usage error.
    taken = subprocess.run([*program, 'serve', '--port', str(port), root], capture_output=True,
                           text=True, timeout=20)
    check(taken.returncode == 1 and 'cannot listen' in taken.stderr, f'port in use: {taken}')
    for args in (['--port', '70000'], ['--port', 'x'], ['--port'], [root, root], ['--bind', 'x']):
        bad = subprocess.run([*program, 'serve', *args], capture_output=True, text=True, timeout=20)
        check(bad.returncode == 2, f'serve {args}: exit {bad.returncode}')
    missing = subprocess.run([*program, 'serve', os.path.join(scratch, 'none')], capture_output=True,
                             text=True, timeout=20)
    check(missing.returncode == 1 and 'not a folder' in missing.stderr, 'a missing folder')
finally:
    server.terminate()
    server.wait(timeout=20)

print('serve_check:', 'FAILED' if failures else 'ok', f'({len(failures)} failures)')
sys.exit(1 if failures else 0)
