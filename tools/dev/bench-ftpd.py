#!/usr/bin/python3
"""The chassis' FTP server on the bench and in tests: Debian's pyftpdlib with
one login that may write below its root. The password comes from a file so
that it shows in no command line or log."""
import argparse
import logging
import signal
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--address", required=True)
    p.add_argument("--port", type=int, default=21)
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password-file", required=True)
    p.add_argument("--rate", type=int, default=0,
                   help="bytes per second each transfer is held to (0: no limit)")
    a = p.parse_args()
    with open(a.password_file, encoding="utf-8") as f:
        password = f.read().strip()
    auth = DummyAuthorizer()
    auth.add_user(a.user, password, a.root, perm="elradfmw")
    handler = FTPHandler
    handler.authorizer = auth
    handler.banner = "bench chassis FTP server"
    # Files may come from a share (the VM's bundles) that cannot sendfile.
    handler.use_sendfile = False
    if a.rate > 0:
        ThrottledDTPHandler.read_limit = a.rate
        ThrottledDTPHandler.write_limit = a.rate
        handler.dtp_handler = ThrottledDTPHandler
    # UTC to the millisecond, as every bench log line.
    logging.Formatter.converter = time.gmtime
    logging.basicConfig(stream=sys.stdout, level=logging.INFO,
                        format="%(asctime)s.%(msecs)03dZ ftpd: %(message)s",
                        datefmt="%Y-%m-%dT%H:%M:%S")
    # The bench stops its peers with SIGTERM: a clean end, not a kill.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server = FTPServer((a.address, a.port), handler)
    server.max_cons = 16
    logging.info("serving %s on %s:%d for %s", a.root, a.address, a.port, a.user)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
