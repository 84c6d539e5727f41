// The one source of the object library that makes the test programs' shared
// precompiled header; it needs nothing of its own.
