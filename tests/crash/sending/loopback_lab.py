#!/usr/bin/python3
# Real servers on the loopback address for the sending tests: SMTP (aiosmtpd), DNS (dnsmasq),
# HTTP and HTTPS (http.server), FTP (pyftpdlib), and a server that accepts and never answers.
# Started by a test with the path of a file to write its control port to; the test then drives it
# over one control connection, one command per line:
#   smtp [auth=1] [rcpt251=1] [quiet=1] -> "port N"
#   silent                         -> "port N"
#   trickle [interval_ms=I] [seconds=S] -> "port N" (an SMTP greeting that never ends)
#   dns domain=D mx=HOST:PREF ... a=HOST:ADDRESS ...  -> "port N"
#   http|https [user=U password=P] -> "port N"
#   ftp user=U password=P          -> "port N"
#   received NAME                  -> lines "field base64 ..." then "." (a mail: its envelope,
#                                     raw headers, decoded subject, parts raw and as text)
# Everything stops when the control connection closes (the test ended, however it ended).
import base64
import email
import email.policy
import http.server
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

import logging
import warnings

warnings.filterwarnings('ignore')
logging.getLogger('mail.log').setLevel(logging.CRITICAL)


def B(data):
    # One word per value; '-' (outside the Base64 alphabet) stands for an empty one.
    raw = data if isinstance(data, bytes) else str(data).encode('latin-1', 'replace')
    return base64.b64encode(raw).decode() if raw else '-'


def U(text):
    # Unicode text as UTF-8; what cannot be encoded (undecodable bytes kept as surrogates) as "?".
    return B(text.encode('utf-8', 'replace'))


work = tempfile.mkdtemp(prefix='quillan-lab-')
received = {}
stoppers = []
lock = threading.Lock()


def record(kind, lines):
    with lock:
        received.setdefault(kind, []).extend(lines)


def free_port(kind=socket.SOCK_STREAM):
    s = socket.socket(socket.AF_INET, kind)
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
    s.close()
    return port


def start_smtp(args):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            envelope.rcpt_tos.append(address)
            return '251 2.1.5 User not local; will forward' if args.get('rcpt251') == '1' else '250 OK'

        async def handle_DATA(self, server, session, envelope):
            if args.get('quiet') == '1':  # timing runs: take the mail, keep nothing
                return '250 Message accepted'
            msg = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
            lines = ['message -', 'helo ' + B(session.host_name or ''), 'mail_from ' + B(envelope.mail_from)]
            lines += ['rcpt ' + B(r) for r in envelope.rcpt_tos]
            auth = getattr(session, 'quillan_auth', None)
            if auth:
                lines += ['auth_user ' + B(auth[0]), 'auth_password ' + B(auth[1])]
            for name, value in msg.raw_items():
                lines.append('header ' + B(name) + ' ' + B(value))
            # What a mail reader shows, as UTF-8: the decoded subject, and each part's file name
            # and text decoded by its declared character set.
            lines.append('subject_text ' + U(str(msg.get('Subject', ''))))
            lines.append('raw ' + B(envelope.original_content))
            for part in msg.walk():
                if part.is_multipart():
                    continue
                lines.append('part ' + B(part.get_content_type()) + ' ' + B(part.get_filename() or '') + ' ' +
                             B(part.get_payload(decode=True) or b''))
                text = part.get_content() if part.get_content_maintype() == 'text' else ''
                lines.append('part_text ' + U(part.get_filename() or '') + ' ' + U(text))
            lines.append('end -')
            record('smtp', lines)
            return '250 Message accepted'

    def authenticator(server, session, envelope, mechanism, auth_data):
        session.quillan_auth = (auth_data.login, auth_data.password)
        record('smtp_auth', ['mechanism ' + B(mechanism)])
        return AuthResult(success=True)

    port = free_port()
    auth = args.get('auth') == '1'
    controller = Controller(Handler(), hostname='127.0.0.1', port=port, authenticator=authenticator,
                            auth_required=auth, auth_require_tls=False)
    controller.start()
    stoppers.append(controller.stop)
    return port


def start_silent(args):
    listener = socket.socket()
    listener.bind(('127.0.0.1', 0))
    listener.listen(8)
    held = []

    def accept():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            held.append(conn)
            record('silent', ['accepted -'])

    threading.Thread(target=accept, daemon=True).start()
    stoppers.append(listener.close)
    return listener.getsockname()[1]


def start_trickle(args):
    # Greets without end, one continuation line at a time, each well within any per-call limit.
    listener = socket.socket()
    listener.bind(('127.0.0.1', 0))
    listener.listen(8)
    interval = float(args.get('interval_ms', '100')) / 1000
    stop_after = float(args.get('seconds', '60'))

    def greet(conn):
        started = time.monotonic()
        try:
            while time.monotonic() - started < stop_after:
                conn.sendall(b'220-still greeting\r\n')
                time.sleep(interval)
        except OSError:
            pass
        conn.close()

    def accept():
        while True:
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            record('trickle', ['accepted -'])
            threading.Thread(target=greet, args=(conn,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    stoppers.append(listener.close)
    return listener.getsockname()[1]


def start_dns(args, pairs):
    port = free_port(socket.SOCK_DGRAM)
    command = ['dnsmasq', '--keep-in-foreground', '--conf-file=/dev/null', '--no-resolv', '--no-hosts',
               '--bind-interfaces', '--listen-address=127.0.0.1', '--port=%d' % port, '--pid-file=',
               '--log-facility=-', '--log-queries']
    domain = args.get('domain', 'example.test')
    command.append('--local=/%s/' % domain.split('.')[-1])
    for key, value in pairs:
        if key == 'mx':
            host, pref = value.rsplit(':', 1)
            command.append('--mx-host=%s,%s,%s' % (domain, host, pref))
        elif key == 'a':
            host, address = value.rsplit(':', 1)
            command.append('--host-record=%s,%s' % (host, address))
    log = open(os.path.join(work, 'dnsmasq.log'), 'wb')
    process = subprocess.Popen(command, stdout=log, stderr=log, stdin=subprocess.DEVNULL)
    stoppers.append(lambda: (process.terminate(), process.wait(5)))
    # Ready when it answers a query.
    query = b'\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x04ping\x04test\x00\x00\x01\x00\x01'
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(0.1)
    for _ in range(100):
        if process.poll() is not None:
            raise RuntimeError('dnsmasq ended: ' + open(os.path.join(work, 'dnsmasq.log')).read())
        try:
            s.sendto(query, ('127.0.0.1', port))
            s.recvfrom(512)
            break
        except OSError:
            time.sleep(0.05)
    s.close()
    return port


def start_http(args, secure):
    expected = None
    if 'user' in args:
        expected = 'Basic ' + base64.b64encode((args['user'] + ':' + args.get('password', '')).encode()).decode()
    kind = 'https' if secure else 'http'

    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *a):
            pass

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get('Content-Length', 0)))
            authorization = self.headers.get('Authorization', '')
            lines = ['request -', 'path ' + B(self.path), 'authorization ' + B(authorization),
                     'content_type ' + B(self.headers.get('Content-Type', '')), 'body ' + B(body)]
            if expected is not None and authorization != expected:
                record(kind, lines + ['status ' + B('401'), 'end -'])
                self.send_response(401, 'Unauthorized')
                self.send_header('WWW-Authenticate', 'Basic realm="reports"')
                self.send_header('Content-Length', '0')
                self.end_headers()
                return
            form = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
                b'Content-Type: ' + self.headers.get('Content-Type', '').encode() + b'\r\n\r\n' + body)
            for part in form.iter_parts():
                name = part.get_param('name', header='content-disposition') or ''
                filename = part.get_param('filename', header='content-disposition')
                payload = part.get_payload(decode=True) or b''
                if filename is None:
                    lines.append('field ' + B(name) + ' ' + B(payload))
                else:
                    lines.append('file ' + B(name) + ' ' + B(filename) + ' ' + B(payload))
            record(kind, lines + ['status ' + B('200'), 'end -'])
            self.send_response(200, 'OK')
            self.send_header('Content-Length', '2')
            self.end_headers()
            self.wfile.write(b'OK')

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    if secure:
        key, cert = os.path.join(work, 'key.pem'), os.path.join(work, 'cert.pem')
        subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', key, '-out', cert,
                        '-days', '2', '-subj', '/CN=127.0.0.1'], check=True, capture_output=True)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    stoppers.append(server.shutdown)
    return server.server_address[1]


def start_ftp(args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    logging.getLogger('pyftpdlib').setLevel(logging.CRITICAL)
    home = os.path.join(work, 'ftp')
    os.mkdir(home)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.get('user', 'user'), args.get('password', ''), home, perm='elradfmw')
    handler = type('Handler', (FTPHandler,), {'authorizer': authorizer})
    server = FTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=lambda: server.serve_forever(timeout=0.2), daemon=True).start()
    stoppers.append(server.close_all)

    def files():
        out = []
        for root, _, names in os.walk(home):
            for name in sorted(names):
                path = os.path.join(root, name)
                out.append('file ' + B(os.path.relpath(path, home)) + ' ' + B(open(path, 'rb').read()))
        return out
    received_files['ftp'] = files
    return server.address[1]


received_files = {}


def serve(conn):
    reader = conn.makefile('rb')
    for raw in reader:
        words = raw.decode().split()
        if not words:
            continue
        pairs = [tuple(w.split('=', 1)) for w in words[1:] if '=' in w]
        args = dict(pairs)
        try:
            kind = words[0]
            if kind == 'received':
                with lock:
                    lines = list(received.get(words[1], []))
                if words[1] in received_files:
                    lines += received_files[words[1]]()
                reply = '\n'.join(lines + ['.']) + '\n'
            elif kind == 'smtp':
                reply = 'port %d\n' % start_smtp(args)
            elif kind == 'silent':
                reply = 'port %d\n' % start_silent(args)
            elif kind == 'trickle':
                reply = 'port %d\n' % start_trickle(args)
            elif kind == 'dns':
                reply = 'port %d\n' % start_dns(args, pairs)
            elif kind in ('http', 'https'):
                reply = 'port %d\n' % start_http(args, kind == 'https')
            elif kind == 'ftp':
                reply = 'port %d\n' % start_ftp(args)
            else:
                reply = 'error unknown command\n'
        except Exception as e:  # the test sees the reason instead of a hang
            reply = 'error %s\n' % B(repr(e))
        conn.sendall(reply.encode())


def main():
    ready = sys.argv[1]
    control = socket.socket()
    control.bind(('127.0.0.1', 0))
    control.listen(1)
    control.settimeout(60)
    with open(ready + '.tmp', 'w') as f:
        f.write(str(control.getsockname()[1]))
    os.replace(ready + '.tmp', ready)
    try:
        conn, _ = control.accept()
        serve(conn)
    finally:
        for stop in reversed(stoppers):
            try:
                stop()
            except Exception:
                pass
        subprocess.run(['rm', '-rf', work])
        os._exit(0)


main()
