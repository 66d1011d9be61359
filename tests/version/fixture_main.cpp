// Carries fixture.rc; the version test only reads its resource and never runs it.
int main() { return 0; }
