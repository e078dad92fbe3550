// A tiny DLL for the Windows platform tests: something of our own to load from odd folders.
extern "C" __declspec(dllexport) int ZylProbeAnswer() {
    return 42;
}
