// Placeholder until the test doubles land.
namespace platform::testing {}
