from ._errors import *  # noqa
from ._zalcv import *  # noqa
