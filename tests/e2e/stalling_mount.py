# A FUSE file system holding one file, a copy of SOURCE, whose reads between its first STALL_AFTER
# bytes and its last 4 KiB never answer, as a file on a stalled network mount whose first and last
# pages are cached does: tag readers finish, a demuxer waits for good. Says "mounted" once it serves.
# Usage: stalling_mount.py SOURCE STALL_AFTER MOUNTPOINT (Debian's python3-fuse, run as root).
import errno
import os
import stat
import sys
import time

import fuse

fuse.fuse_python_api = (0, 2)
SOURCE, STALL_AFTER, MOUNTPOINT = sys.argv[1], int(sys.argv[2]), sys.argv[3]
NAME = "/" + os.path.basename(SOURCE)


class StallingFile(fuse.Fuse):
    def fsinit(self):
        print("mounted", flush=True)

    def getattr(self, path):
        if path == "/":
            return fuse.Stat(st_mode=stat.S_IFDIR | 0o755, st_nlink=2)
        if path == NAME:
            return fuse.Stat(st_mode=stat.S_IFREG | 0o444, st_nlink=1, st_size=os.stat(SOURCE).st_size)
        return -errno.ENOENT

    def readdir(self, path, offset):
        return [fuse.Direntry(name) for name in (".", "..", NAME[1:])]

    def open(self, path, flags):
        return 0 if path == NAME else -errno.ENOENT

    def read(self, path, size, offset):
        if offset + size > STALL_AFTER and offset < os.stat(SOURCE).st_size - 4096:
            time.sleep(3600)
        with open(SOURCE, "rb") as f:
            f.seek(offset)
            return f.read(size)


server = StallingFile()
server.multithreaded = True
server.parse([sys.argv[0], MOUNTPOINT, "-f", "-o", "direct_io"], errex=1)
server.main()
