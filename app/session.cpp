#include "app/session.h"

Session session;
