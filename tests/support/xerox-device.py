#!/usr/bin/env python3
"""A stand-in for a Xerox MFP's template-management web service, for tests.

Serves SOAP 1.1 over HTTPS on a free loopback port with a self-signed certificate (made with
openssl in WORKDIR unless --cert/--key are given), keeps the templates it is given, and writes
what it sees into WORKDIR:
  requests.log      one line per request: "OPERATION PATH" ("- PATH" for a refused path)
  templates/NNN.xst every template content it accepted, in order
  scan.log          one line per file sent by --scan: "sent NAME" or "failed REASON"
Prints "ready PORT PID" on stdout once it accepts connections.

--accept PATH    paths that answer (repeatable); every other path gets HTTP 404
--answer MODE    normal | fault | stall | huge | malformed | html | redirect
--scan FILE      after each accepted PutTemplate, play the device: send these files by FTP to
                 the server, user and password of the template, into its DocumentPath, then the
                 empty end-of-job file XEROXFINISHEDMARKER.MRK that closes a job
"""

import argparse
import ftplib
import http.server
import io
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ET
import zlib

NS = "http://www.xerox.com/webservices/office/template_management/1/"
SOAP_NS = "http://schemas.xmlsoap.org/soap/envelope/"
END_OF_JOB = "XEROXFINISHEDMARKER.MRK"


def envelope(body):
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            f'<SOAP-ENV:Envelope xmlns:SOAP-ENV="{SOAP_NS}" xmlns:xrx="{NS}">'
            f'<SOAP-ENV:Header/><SOAP-ENV:Body>{body}</SOAP-ENV:Body></SOAP-ENV:Envelope>').encode()


def fault(text):
    return envelope('<SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode>'
                    f'<faultstring>{text}</faultstring></SOAP-ENV:Fault>')


def template_fields(content):
    """The "* type Name = value;" lines of a job template as {Name: value}, quotes removed."""
    fields = {}
    for match in re.finditer(r'^\s*\*\s+\S+\s+(\w+)\s*=\s*(.*?);\s*$', content, re.M):
        value = match.group(2)
        fields[match.group(1)] = value[1:-1] if value.startswith('"') else value
    return fields


class Device:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.templates = {}  # name -> (content, checksum)
        self.count = 0
        os.makedirs(os.path.join(args.workdir, "templates"), exist_ok=True)

    def record(self, name, line):
        with self.lock, open(os.path.join(self.args.workdir, name), "a") as log:
            log.write(line + "\n")

    def handle(self, operation, request):
        if operation == "ListTemplatesRequest":
            with self.lock:
                entries = "".join(f"<xrx:TemplateEntry><xrx:TemplateName>{name}</xrx:TemplateName>"
                                  f"<xrx:TemplateChecksum>{checksum}</xrx:TemplateChecksum></xrx:TemplateEntry>"
                                  for name, (_, checksum) in self.templates.items())
            return envelope(f"<xrx:TemplateEntries>{entries}</xrx:TemplateEntries>")
        name = request.findtext(f"{{{NS}}}templateName", default="")
        if operation == "DeleteTemplateRequest":
            checksum = request.findtext(f"{{{NS}}}priorChecksum", default="")
            with self.lock:
                if name not in self.templates or str(self.templates[name][1]) != checksum:
                    return fault("No template of that name and checksum")
                del self.templates[name]
            return envelope("<xrx:VoidResponse/>")
        if operation == "PutTemplateRequest":
            content = request.findtext(f"{{{NS}}}templateContent", default="")
            checksum = zlib.crc32(content.encode()) & 0x7FFFFFFF
            with self.lock:
                if name in self.templates:
                    return fault("A template of that name exists")
                self.templates[name] = (content, checksum)
                self.count += 1
                path = os.path.join(self.args.workdir, "templates", f"{self.count:03d}.xst")
            with open(path, "w") as out:
                out.write(content)
            if self.args.scan:
                threading.Thread(target=self.scan, args=(content,), daemon=True).start()
            return envelope(f"<xrx:ChecksumResponse><xrx:TemplateChecksum>{checksum}"
                            "</xrx:TemplateChecksum></xrx:ChecksumResponse>")
        return fault("Unknown operation " + operation)

    def scan(self, content):
        """Files a scan job as the device would: by FTP, to where the template says."""
        fields = template_fields(content)
        host, _, port = fields.get("RepositoryName", "").rpartition(":")
        deadline = time.monotonic() + 20
        while True:  # the source starts its FTP server after the template is in place
            try:
                ftp = ftplib.FTP()
                ftp.connect(host, int(port), timeout=10)
                break
            except (OSError, ValueError) as error:
                if time.monotonic() > deadline:
                    self.record("scan.log", f"failed {error}")
                    return
                time.sleep(0.05)
        try:
            ftp.login(fields.get("UserNetworkFilingLoginName", ""), fields.get("UserNetworkFilingLoginID", ""))
            ftp.cwd(fields.get("DocumentPath", "/"))
            for path in self.args.scan:
                with open(path, "rb") as data:
                    ftp.storbinary("STOR " + os.path.basename(path), data)
                self.record("scan.log", "sent " + os.path.basename(path))
            ftp.storbinary("STOR " + END_OF_JOB, io.BytesIO())
            self.record("scan.log", "sent " + END_OF_JOB)
            ftp.quit()
        except (OSError, ftplib.Error) as error:
            self.record("scan.log", f"failed {error}")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, content_type="text/xml; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        device = self.server.device
        length = int(self.headers.get("Content-Length", "0"))
        data = self.rfile.read(length)
        if self.path not in device.args.accept:
            device.record("requests.log", "- " + self.path)
            return self.reply(404, b"Not Found", "text/plain")
        try:
            body = ET.fromstring(data).find(f"{{{SOAP_NS}}}Body")
            request = body[0]
            operation = request.tag.split("}")[-1]
        except (ET.ParseError, TypeError, IndexError):
            device.record("requests.log", "? " + self.path)
            return self.reply(500, fault("Not a SOAP request"))
        device.record("requests.log", f"{operation} {self.path}")
        mode = device.args.answer
        if mode == "stall":
            time.sleep(600)
            return None
        if mode == "fault":
            return self.reply(500, fault("Template storage is full"))
        if mode == "huge":
            return self.reply(200, b"<a>" + b"x" * (3 << 20) + b"</a>")
        if mode == "malformed":
            return self.reply(200, b"<SOAP-ENV:Envelope><SOAP-ENV:Body><unclosed></SOAP-ENV:Body>")
        if mode == "html":
            return self.reply(200, b"<html><body>Log in</body></html>", "text/html")
        if mode == "redirect":
            return self.reply(302, b"", "text/plain", [("Location", "https://elsewhere.invalid/steal")])
        answer = device.handle(operation, request)
        return self.reply(500 if b"Fault>" in answer else 200, answer)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--accept", action="append", default=[])
    parser.add_argument("--answer", default="normal")
    parser.add_argument("--scan", action="append", default=[])
    args = parser.parse_args()
    os.makedirs(args.workdir, exist_ok=True)
    cert = args.cert or os.path.join(args.workdir, "device.crt")
    key = args.key or os.path.join(args.workdir, "device.key")
    if not args.cert:
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-days", "2", "-subj", "/CN=xerox-device", "-keyout", key, "-out", cert],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    server = Server(("127.0.0.1", 0), Handler)
    server.device = Device(args)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print(f"ready {server.server_address[1]} {os.getpid()}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
