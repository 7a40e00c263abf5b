#!/usr/bin/python3
"""An independent WinZip-AES stream codec on Python's `cryptography`, for cross tests.

  wzaes_reference.py encrypt MODE PWFILE SALTHEX IN OUT   writes salt, verifier, data, code
  wzaes_reference.py decrypt MODE PWFILE IN OUT           exit 0; 3 wrong password; 4 bad code
  wzaes_reference.py same MODE PWFILE IN                  exit 0 when IN is exactly what encrypting its
                                                          own plaintext with its own salt gives
  wzaes_reference.py zip MODE STREAM PLAIN OUT            wraps the encrypted stream of PLAIN as the
                                                          one stored AE-1 entry "data.bin" of a zip
"""
import hmac
import struct
import sys
import zlib

from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.hazmat.primitives.kdf.pbkdf2 import PBKDF2HMAC

KEY_LEN = {1: 16, 2: 24, 3: 32}


def derive(password, salt, mode):
    n = KEY_LEN[mode]
    kdf = PBKDF2HMAC(algorithm=hashes.SHA1(), length=2 * n + 2, salt=salt, iterations=1000)
    material = kdf.derive(password)
    return material[:n], material[n:2 * n], material[2 * n:]


def keystream(key, length):
    # The counter is the first 8 bytes, little-endian, starting at 1; the other 8 bytes stay zero.
    blocks = (length + 15) // 16
    counters = b"".join(i.to_bytes(8, "little") + bytes(8) for i in range(1, blocks + 1))
    enc = Cipher(algorithms.AES(key), modes.ECB()).encryptor()
    return (enc.update(counters) + enc.finalize())[:length]


def xor(data, stream):
    return (int.from_bytes(data, "big") ^ int.from_bytes(stream, "big")).to_bytes(len(data), "big")


def encrypt(mode, password, salt, plain):
    aes_key, mac_key, verifier = derive(password, salt, mode)
    cipher = xor(plain, keystream(aes_key, len(plain)))
    code = hmac.new(mac_key, cipher, "sha1").digest()[:10]
    return salt + verifier + cipher + code


def decrypt(mode, password, stream):
    salt_len = 4 + 4 * mode
    salt, verifier = stream[:salt_len], stream[salt_len:salt_len + 2]
    cipher, code = stream[salt_len + 2:-10], stream[-10:]
    aes_key, mac_key, expected = derive(password, salt, mode)
    if verifier != expected:
        sys.exit(3)
    if not hmac.compare_digest(hmac.new(mac_key, cipher, "sha1").digest()[:10], code):
        sys.exit(4)
    return xor(cipher, keystream(aes_key, len(cipher)))


def ae1_zip(mode, stream, plain):
    name = b"data.bin"
    # WinZip AES extra field: vendor version 1 (AE-1), "AE", key strength, actual method stored.
    extra = struct.pack("<HHH2sBH", 0x9901, 7, 1, b"AE", mode, 0)
    crc = zlib.crc32(plain)
    fields = struct.pack("<HHHHHIIIHH", 51, 0x0001, 99, 0, 0x21, crc, len(stream), len(plain), len(name),
                         len(extra))
    local = struct.pack("<I", 0x04034B50) + fields + name + extra
    central = (struct.pack("<IH", 0x02014B50, 51) + fields + struct.pack("<HHHII", 0, 0, 0, 0, 0) + name
               + extra)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local) + len(stream), 0)
    return local + stream + central + end


def main():
    cmd, mode = sys.argv[1], int(sys.argv[2])
    if cmd == "zip":
        stream, plain = open(sys.argv[3], "rb").read(), open(sys.argv[4], "rb").read()
        open(sys.argv[5], "wb").write(ae1_zip(mode, stream, plain))
        return
    password = open(sys.argv[3], "rb").read()
    if cmd == "encrypt":
        plain = open(sys.argv[5], "rb").read()
        open(sys.argv[6], "wb").write(encrypt(mode, password, bytes.fromhex(sys.argv[4]), plain))
    elif cmd == "decrypt":
        open(sys.argv[5], "wb").write(decrypt(mode, password, open(sys.argv[4], "rb").read()))
    elif cmd == "same":
        stream = open(sys.argv[4], "rb").read()
        plain = decrypt(mode, password, stream)
        sys.exit(0 if encrypt(mode, password, stream[:4 + 4 * mode], plain) == stream else 5)
    else:
        sys.exit(2)


if __name__ == "__main__":
    main()
