// A well-formed shared library that records no plug-in: the loader must refuse and close it.

extern "C" int eedbTestEmptyLibrary() {
  return 1;
}
