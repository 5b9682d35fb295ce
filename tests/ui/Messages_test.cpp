#include "ui/Messages.h"
