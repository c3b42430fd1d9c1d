#!/usr/bin/python3
"""The chassis' FTP server on the bench and in tests: Debian's pyftpdlib with
one login that may write below its root. The password comes from a file so
that it shows in no command line or log. With --tls-dir it offers explicit
TLS (AUTH TLS) with DIR/server.pem and DIR/server.key when they exist and
pyOpenSSL is installed, and says so; clients that do not ask for TLS are
still served in clear."""
import argparse
import logging
import os
import signal
import sys
import time

import pyftpdlib.handlers
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--address", required=True)
    p.add_argument("--port", type=int, default=21)
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password-file", required=True)
    p.add_argument("--tls-dir", help="offer TLS with DIR/server.pem and DIR/server.key")
    a = p.parse_args()
    with open(a.password_file, encoding="utf-8") as f:
        password = f.read().strip()
    auth = DummyAuthorizer()
    auth.add_user(a.user, password, a.root, perm="elradfmw")
    offer = ""
    cert = os.path.join(a.tls_dir or "", "server.pem")
    key = os.path.join(a.tls_dir or "", "server.key")
    tls_handler = getattr(pyftpdlib.handlers, "TLS_FTPHandler", None)
    tls = bool(a.tls_dir and os.path.isfile(cert) and os.path.isfile(key) and tls_handler)
    if a.tls_dir and not tls:
        offer = ", no TLS (" + ("no pyOpenSSL" if not tls_handler else f"no {cert} and {key}") + ")"
    elif tls:
        offer = ", TLS offered"

    class Handler(tls_handler if tls else FTPHandler):
        # What the client chose, as the server saw it.
        def on_file_received(self, file):
            logging.info("received %s, control %s, data %s", file,
                         "TLS" if getattr(self, "_ssl_established", False) else "in clear",
                         "TLS" if getattr(self, "_prot", False) else "in clear")

    if tls:
        class DataHandler(pyftpdlib.handlers.TLS_DTPHandler):
            # libcurl starts the data connection's handshake before it
            # sends STOR; pyftpdlib would close a data connection that has
            # something to read before the transfer command.
            def readable(self):
                return self._ssl_accepting or super().readable()

        Handler.dtp_handler = DataHandler
        Handler.certfile = cert
        Handler.keyfile = key
    handler = Handler
    handler.authorizer = auth
    handler.banner = "bench chassis FTP server"
    # UTC to the millisecond, as every bench log line.
    logging.Formatter.converter = time.gmtime
    logging.basicConfig(stream=sys.stdout, level=logging.INFO,
                        format="%(asctime)s.%(msecs)03dZ ftpd: %(message)s",
                        datefmt="%Y-%m-%dT%H:%M:%S")
    # The bench stops its peers with SIGTERM: a clean end, not a kill.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server = FTPServer((a.address, a.port), handler)
    server.max_cons = 16
    logging.info("serving %s on %s:%d for %s%s", a.root, a.address, a.port, a.user, offer)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
