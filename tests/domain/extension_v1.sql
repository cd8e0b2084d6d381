-- Closed months and change history of the production department: an opt-in
-- extension of the enterprise database mirn_erp (after db/schema.sql).
--
-- Install, once; running it again changes nothing and keeps the closed months
-- and the history:
--   psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/extension.sql
-- Remove (the closed months and the history go with it):
--   psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/extension_drop.sql
--
-- A client detects it with one catalog lookup (no privileges needed):
--   select to_regclass('accounts_dep.period_lock') is not null as installed
--
-- What it adds to schema accounts_dep:
--   period_lock  a row (year, month) closes the month: its shift entries (smena,
--                by data), timesheet rows (h_tabel, by month/year) and auxiliary
--                work (fatigue, by d_date and by i_mnth/i_year) refuse every
--                insert, update and delete, whoever writes. An update is refused
--                when either the row's old or its new month is closed.
--                Closing is simply
--                  insert into accounts_dep.period_lock(year, month, closed_by)
--                  values (2026, 11, 'Администратор');
--                and reopening the delete of that row.
--   change_log   every insert, update and delete of smena, fatigue, oper and
--                norm: the row before (old_row) and after (new_row) as jsonb,
--                null where there is none.
--
-- The refusal: SQLSTATE ML001 (a class of its own, so the client can tell it
-- from every other error), message "Месяц закрыт: <месяц> <год>" with the
-- month's name in the nominative, lower case, e.g.
--   Месяц закрыт: ноябрь 2026
-- and a detail naming who closed the month and when. TRUNCATE of those three
-- tables is refused the same way while any month is closed.
--
-- Client fields of change_log: the client sets them on its connection,
--   select set_config('mirn.client_role', 'Администратор', false),
--          set_config('mirn.client_host', 'ЦЕХ-3', false),
--          set_config('mirn.app_version', '20261201 36000', false);
-- and the triggers read current_setting('mirn.client_role', true) and so on.
-- Unset or empty (a psql session) they are recorded as null. db_user is the
-- session user: the history's trigger function runs as the extension's owner,
-- so that writers need no rights on the log and cannot alter it.
--
-- The change report's query (changes of entries and prices in a period, the
-- first moment included, the second excluded); change_log_at_idx serves it:
--   select id, at, table_name, row_id, action, old_row, new_row,
--          db_user, client_role, client_host, app_version
--     from accounts_dep.change_log
--    where at >= :from and at < :to and table_name in ('smena','norm','oper')
--    order by at, id
--
-- Version: accounts_dep.schema_version holds one row per script, here
-- ('extension', 1). This script installs version 1; on a database that has it
-- already it changes nothing, on any other version it stops before changing
-- anything (db/README.md, "Versions and upgrades").

\set ON_ERROR_STOP 1

BEGIN;

-- Another version of these definitions is left alone (db/upgrade/ holds the steps).
DO $$
BEGIN
    IF to_regclass('accounts_dep.schema_version') IS NULL THEN
        RETURN;
    END IF;
    IF EXISTS (SELECT 1 FROM accounts_dep.schema_version WHERE component = 'extension' AND version <> 1) THEN
        RAISE EXCEPTION 'accounts_dep.schema_version has extension version %, this script is version 1',
            (SELECT version FROM accounts_dep.schema_version WHERE component = 'extension');
    END IF;
END
$$;

CREATE TABLE IF NOT EXISTS accounts_dep.schema_version (
    component  text PRIMARY KEY,
    version    integer NOT NULL,
    applied_at timestamptz NOT NULL DEFAULT now()
);
-- Every client may check the versions at sign-in.
GRANT SELECT ON accounts_dep.schema_version TO PUBLIC;
-- Installed before the version row existed counts as version 1: the definitions
-- are the same.
INSERT INTO accounts_dep.schema_version (component, version) VALUES ('extension', 1)
ON CONFLICT (component) DO NOTHING;

CREATE TABLE IF NOT EXISTS accounts_dep.period_lock (
    year      integer NOT NULL CHECK (year BETWEEN 1 AND 9999),
    month     integer NOT NULL CHECK (month BETWEEN 1 AND 12),
    closed_by text DEFAULT session_user,
    closed_at timestamptz DEFAULT now(),
    PRIMARY KEY (year, month)
);

CREATE TABLE IF NOT EXISTS accounts_dep.change_log (
    id          bigserial PRIMARY KEY,
    at          timestamptz DEFAULT now(),
    table_name  text,
    row_id      bigint,
    action      text,
    old_row     jsonb,
    new_row     jsonb,
    db_user     text,
    client_role text,
    client_host text,
    app_version text
);
-- A row's history, and a period's changes.
CREATE INDEX IF NOT EXISTS change_log_table_row_idx ON accounts_dep.change_log (table_name, row_id);
CREATE INDEX IF NOT EXISTS change_log_at_idx ON accounts_dep.change_log (at);

-- Every writer's guard reads the closed months; they are no secret.
GRANT SELECT ON accounts_dep.period_lock TO PUBLIC;

------------------------------------------------------------------------------
-- Closed months
------------------------------------------------------------------------------

CREATE OR REPLACE FUNCTION accounts_dep.month_name(m integer) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT (ARRAY['январь', 'февраль', 'март', 'апрель', 'май', 'июнь', 'июль',
                  'август', 'сентябрь', 'октябрь', 'ноябрь', 'декабрь'])[m]
$$;

-- A month as one number, year * 100 + month (202611); null for no month or an
-- impossible one, which is never closed.
CREATE OR REPLACE FUNCTION accounts_dep.period_key(y integer, m integer) RETURNS integer
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN y BETWEEN 1 AND 9999 AND m BETWEEN 1 AND 12 THEN y * 100 + m END
$$;
CREATE OR REPLACE FUNCTION accounts_dep.period_key(d date) RETURNS integer
LANGUAGE sql IMMUTABLE AS $$
    SELECT accounts_dep.period_key(date_part('year', d)::integer, date_part('month', d)::integer)
$$;

-- The refusal, should month k (year * 100 + month) be closed.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_refuse(k integer) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    r record;
BEGIN
    SELECT p.year, p.month, p.closed_by, p.closed_at INTO r
      FROM accounts_dep.period_lock p
     WHERE p.year = k / 100 AND p.month = k % 100;
    IF FOUND THEN
        RAISE EXCEPTION USING
            ERRCODE = 'ML001',
            MESSAGE = format('Месяц закрыт: %s %s', accounts_dep.month_name(r.month), r.year),
            DETAIL = format('Закрыл: %s, %s.', coalesce(r.closed_by, 'не указано'),
                            coalesce(to_char(r.closed_at, 'DD.MM.YYYY HH24:MI'), 'дата не указана'));
    END IF;
END
$$;

-- Refuses a write whose row is in a closed month before or after it.
-- An entry's month is that of its date, a timesheet row's its month and year.
-- Auxiliary work carries its month twice: the date (which the register lists by)
-- and i_mnth/i_year (which not every writer fills); either can put it in a
-- closed month.
-- Every writer first takes a shared advisory lock on its months, and closing a
-- month takes the exclusive one (period_lock_serialize): a month is closed only
-- once the saves already writing into it have ended, and a save that comes after
-- the closing sees it. Otherwise an entry could land in a month closed while it
-- was being saved.
-- It runs for every row written, so it does no more than that: one lock and
-- one primary key lookup per distinct month, no nested calls on the way through.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_guard() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    old1 integer;  -- the row's month(s) before the write, year * 100 + month
    old2 integer;
    new1 integer;  -- and after it
    new2 integer;
    k integer;
BEGIN
    IF TG_OP <> 'INSERT' THEN
        CASE TG_TABLE_NAME
        WHEN 'smena' THEN old1 := accounts_dep.period_key(OLD.data);
        WHEN 'h_tabel' THEN old1 := accounts_dep.period_key(OLD.year, OLD.month);
        ELSE old1 := accounts_dep.period_key(OLD.d_date); old2 := accounts_dep.period_key(OLD.i_year, OLD.i_mnth);
        END CASE;
    END IF;
    IF TG_OP <> 'DELETE' THEN
        CASE TG_TABLE_NAME
        WHEN 'smena' THEN new1 := accounts_dep.period_key(NEW.data);
        WHEN 'h_tabel' THEN new1 := accounts_dep.period_key(NEW.year, NEW.month);
        ELSE new1 := accounts_dep.period_key(NEW.d_date); new2 := accounts_dep.period_key(NEW.i_year, NEW.i_mnth);
        END CASE;
    END IF;
    -- Each month once (an update mostly stays in its month).
    IF old2 = old1 THEN old2 := NULL; END IF;
    IF new1 IN (old1, old2) THEN new1 := NULL; END IF;
    IF new2 IN (old1, old2, new1) THEN new2 := NULL; END IF;
    FOREACH k IN ARRAY ARRAY[old1, old2, new1, new2] LOOP
        CONTINUE WHEN k IS NULL;
        PERFORM pg_advisory_xact_lock_shared(28012, k);
        IF EXISTS (SELECT 1 FROM accounts_dep.period_lock p WHERE p.year = k / 100 AND p.month = k % 100) THEN
            PERFORM accounts_dep.period_lock_refuse(k);
        END IF;
    END LOOP;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    RETURN NEW;
END
$$;

-- TRUNCATE skips row triggers; emptying one of these tables would wipe the
-- closed months too, so it waits until no month is closed.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_guard_truncate() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM accounts_dep.period_lock_refuse(max(p.year * 100 + p.month)) FROM accounts_dep.period_lock p;
    RETURN NULL;
END
$$;

-- Closing (or moving) a lock row waits for the writers of that month; see
-- period_lock_guard.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_serialize() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_advisory_xact_lock(28012, accounts_dep.period_key(NEW.year, NEW.month));
    RETURN NEW;
END
$$;

CREATE OR REPLACE TRIGGER period_lock_serialize
    BEFORE INSERT OR UPDATE ON accounts_dep.period_lock
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_serialize();

CREATE OR REPLACE TRIGGER period_lock_guard
    BEFORE INSERT OR UPDATE OR DELETE ON accounts_dep.smena
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_guard();
CREATE OR REPLACE TRIGGER period_lock_guard
    BEFORE INSERT OR UPDATE OR DELETE ON accounts_dep.h_tabel
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_guard();
CREATE OR REPLACE TRIGGER period_lock_guard
    BEFORE INSERT OR UPDATE OR DELETE ON accounts_dep.fatigue
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_guard();

CREATE OR REPLACE TRIGGER period_lock_guard_truncate
    BEFORE TRUNCATE ON accounts_dep.smena
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.period_lock_guard_truncate();
CREATE OR REPLACE TRIGGER period_lock_guard_truncate
    BEFORE TRUNCATE ON accounts_dep.h_tabel
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.period_lock_guard_truncate();
CREATE OR REPLACE TRIGGER period_lock_guard_truncate
    BEFORE TRUNCATE ON accounts_dep.fatigue
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.period_lock_guard_truncate();

------------------------------------------------------------------------------
-- Change history
------------------------------------------------------------------------------

-- Every table it is attached to has an integer key "id".
CREATE OR REPLACE FUNCTION accounts_dep.change_log_record() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    INSERT INTO accounts_dep.change_log
        (table_name, row_id, action, old_row, new_row, db_user, client_role, client_host, app_version)
    VALUES (TG_TABLE_NAME,
            CASE WHEN TG_OP = 'DELETE' THEN OLD.id ELSE NEW.id END,
            lower(TG_OP),
            CASE WHEN TG_OP <> 'INSERT' THEN to_jsonb(OLD) END,
            CASE WHEN TG_OP <> 'DELETE' THEN to_jsonb(NEW) END,
            session_user,
            nullif(current_setting('mirn.client_role', true), ''),
            nullif(current_setting('mirn.client_host', true), ''),
            nullif(current_setting('mirn.app_version', true), ''));
    RETURN NULL;
END
$$;

CREATE OR REPLACE TRIGGER change_log_record
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.smena
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.change_log_record();
CREATE OR REPLACE TRIGGER change_log_record
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.fatigue
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.change_log_record();
CREATE OR REPLACE TRIGGER change_log_record
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.oper
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.change_log_record();
CREATE OR REPLACE TRIGGER change_log_record
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.norm
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.change_log_record();

-- Replacing the guard functions above dropped the fixed search path db/roles.sql
-- gives them.
DO $$
BEGIN
    IF EXISTS (SELECT 1 FROM accounts_dep.schema_version WHERE component = 'roles') THEN
        RAISE NOTICE 'db/roles.sql is installed: run it again now';
    END IF;
END
$$;

COMMIT;
