// Placeholder entry point until the controller lands.
int main() {
  return 0;
}
