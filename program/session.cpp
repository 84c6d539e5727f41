#include "program/session.h"

Session session;
