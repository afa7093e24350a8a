// The SQL that creates the stand-in for the production database in a test database.
#pragma once

namespace plexivar::testing {

extern const char* const kTestSchema;

}  // namespace plexivar::testing
