// Placeholder until the core lands.
namespace core {}
