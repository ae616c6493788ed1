"""The exceptions of the package: each carries the library's message."""


class Error(Exception):
    """A Veltrix call failed; str() is the library's message for that call."""

    def __init__(self, message: str, status=None, lines=()):
        super().__init__(message)
        self.message = message
        self.status = status
        # Every error line the failing call wrote, the message last.
        self.lines = list(lines) or [message]


class FileNotFound(Error, FileNotFoundError):
    """A file to read (or the directory of a file to write) does not exist:
    the call's status is the system's ENOENT and the library reports it as
    the code of the call's failed file open (see _lib.file_failure)."""


class ParseError(Error, ValueError):
    """Text or values the library refuses."""


class NotFound(Error, KeyError):
    """No such satellite key or number in the store."""

    def __str__(self):
        return self.message


class Duplicate(Error):
    """The store already holds an element set or vector under that key."""
