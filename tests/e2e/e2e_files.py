"""File-system helpers shared by the wizard and the headless flows; no
display and no accessibility modules needed."""
import os


def snapshot(root):
    """Every entry below root with its kind, bytes and modification time."""
    tree = {}
    for directory, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(directory, name)
            rel = os.path.relpath(path, root)
            if os.path.isdir(path) and not os.path.islink(path):
                tree[rel] = ("dir",)
            else:
                with open(path, "rb") as f:
                    tree[rel] = ("file", f.read(), os.stat(path).st_mtime_ns)
    return tree


def write_tree(root, count, size, groups=30):
    """count files of size random bytes in groups sub-folders; returns root."""
    for i in range(count):
        sub = os.path.join(root, "group%02d" % (i % groups))
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "t%05d.cfg" % i), "wb") as f:
            f.write(os.urandom(size))
    return root


def temporary_leftovers(tmpdir):
    """The unpacked kits ("txk...") and backup directories ("wz4sx...") left
    in a temporary directory."""
    if not os.path.isdir(tmpdir):
        return []
    return sorted(n for n in os.listdir(tmpdir) if n.startswith("txk") or n.startswith("wz4sx"))
