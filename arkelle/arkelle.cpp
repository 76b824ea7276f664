// placeholder until the archive library lands
extern "C" int arkellePlaceholder() { return 0; }
