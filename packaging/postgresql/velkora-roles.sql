-- The two roles of a Velkora team library, and the schema the library lives in. Run once by the
-- server's administrator (a superuser) in the library's database; running it again changes nothing:
--
--   psql -d velkora -f velkora-roles.sql
--
--   velkora_writer  records and scans (velkora-cli record, library scan, saving in the window). It owns
--                   the schema "velkora": the first Velkora that connects as a writer makes the tables,
--                   and a newer Velkora brings them to its version.
--   velkora_reader  views, trends, compares and opens tests. It may read the library and never write:
--                   Velkora refuses its saves and scans with a message, and nothing is half-written.
--
-- People log in as users of their own, members of one of the two roles, for example:
--
--   CREATE ROLE gym_pc LOGIN PASSWORD 'choose-one' IN ROLE velkora_writer;
--   CREATE ROLE coach_at_home LOGIN PASSWORD 'choose-another' IN ROLE velkora_reader;
--
-- Velkora never stores a password: each computer gives it through ~/.pgpass, a service file or PGPASSWORD.

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'velkora_writer') THEN
    CREATE ROLE velkora_writer NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'velkora_reader') THEN
    CREATE ROLE velkora_reader NOLOGIN;
  END IF;
END
$$;

DO $$
BEGIN
  EXECUTE format('GRANT CONNECT ON DATABASE %I TO velkora_writer, velkora_reader', current_database());
END
$$;

CREATE SCHEMA IF NOT EXISTS velkora AUTHORIZATION velkora_writer;
REVOKE ALL ON SCHEMA velkora FROM PUBLIC;
GRANT USAGE ON SCHEMA velkora TO velkora_reader;

-- Readers read every table of the library, those there now and those a later version makes.
GRANT SELECT ON ALL TABLES IN SCHEMA velkora TO velkora_reader;
ALTER DEFAULT PRIVILEGES FOR ROLE velkora_writer IN SCHEMA velkora GRANT SELECT ON TABLES TO velkora_reader;
