"""The named status, key and file codes of the libraries.

The same names and values as the VX_ codes of include/veltrix/kernix.h;
the package's tests check the two against each other.
"""

# Status results.
VX_OK = 0  # success
VX_WRONG_KIND = 1  # the CSV conversions: input of the wrong kind
VX_FAIL = 2  # failure or not found; the reason is in the trace log

# satKey results of an add besides a positive new key.
VX_KEY_DUP = 0  # a duplicate, reported under duplicate mode VX_DUP_REPORT
VX_KEY_FAIL = -1  # nothing stored

# Codes of a file open besides the system's error numbers (errno).
VX_FILE_BAD_UNIT = 9001  # the unit is not one of 0-99
VX_FILE_NO_NAME = 9002  # no file name given
VX_FILE_BAD_MODE = 9003  # the open mode is not 0, 1 or 2
VX_FILE_DIRECTORY = 9004  # the name is a directory
VX_FILE_DEVICE = 9005  # a character device named to be read
VX_FILE_UNIT_OPEN = 9006  # the unit is in use on this thread

# Key modes.
VX_KEY_MODE_TREE = 0
VX_KEY_MODE_DMA = 1

# Duplicate modes.
VX_DUP_REPORT = 0
VX_DUP_SILENT = 1

# Orders of the key listings.
VX_ORDER_SATNUM = 0
VX_ORDER_SATNUM_DESC = 1
VX_ORDER_LOAD = 2
VX_ORDER_KEY = 3

# Save modes and forms.
VX_SAVE_CREATE = 0
VX_SAVE_APPEND = 1
VX_SAVE_LINES = 0
VX_SAVE_CSV = 1
