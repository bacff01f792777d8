// Placeholder until the shell lands.
namespace shell {}
