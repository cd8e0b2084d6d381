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
-- session user (the trigger functions run as the extension's owner, so that
-- writers need no rights on the log and cannot alter it).
--
-- The change report's query (changes of entries and prices in a period, the
-- first date included, the second excluded); it is served by change_log_at_idx:
--   select id, at, table_name, row_id, action, old_row, new_row,
--          db_user, client_role, client_host, app_version
--     from accounts_dep.change_log
--    where at >= :from and at < :to and table_name in ('smena','norm','oper')
--    order by at, id

\set ON_ERROR_STOP 1

BEGIN;

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

------------------------------------------------------------------------------
-- Closed months
------------------------------------------------------------------------------

CREATE OR REPLACE FUNCTION accounts_dep.month_name(m integer) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT (ARRAY['январь', 'февраль', 'март', 'апрель', 'май', 'июнь', 'июль',
                  'август', 'сентябрь', 'октябрь', 'ноябрь', 'декабрь'])[m]
$$;

-- Refuses the write when month (y1, m1) or (y2, m2) is closed; a null or
-- impossible month is never closed.
-- Every writer first takes a shared advisory lock on its months, and closing a
-- month takes the exclusive one (period_lock_serialize): a month is closed only
-- once the saves already writing into it have ended, and a save that comes
-- after the closing sees it. Otherwise an entry could land in a month closed
-- while it was being saved.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_check(y1 integer, m1 integer, y2 integer, m2 integer)
RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    r record;
BEGIN
    IF y1 BETWEEN 1 AND 9999 AND m1 BETWEEN 1 AND 12 THEN
        PERFORM pg_advisory_xact_lock_shared(28012, y1 * 100 + m1);
    END IF;
    IF y2 BETWEEN 1 AND 9999 AND m2 BETWEEN 1 AND 12 AND (y2, m2) IS DISTINCT FROM (y1, m1) THEN
        PERFORM pg_advisory_xact_lock_shared(28012, y2 * 100 + m2);
    END IF;
    SELECT p.year, p.month, p.closed_by, p.closed_at INTO r
      FROM accounts_dep.period_lock p
     WHERE (p.year = y1 AND p.month = m1) OR (p.year = y2 AND p.month = m2)
     ORDER BY p.year, p.month
     LIMIT 1;
    IF FOUND THEN
        RAISE EXCEPTION USING
            ERRCODE = 'ML001',
            MESSAGE = format('Месяц закрыт: %s %s', accounts_dep.month_name(r.month), r.year),
            DETAIL = format('Закрыл: %s, %s.', coalesce(r.closed_by, 'не указано'),
                            coalesce(to_char(r.closed_at, 'DD.MM.YYYY HH24:MI'), 'дата не указана'));
    END IF;
END
$$;

-- The month of an entry is the month of its date.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_guard_smena() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        PERFORM accounts_dep.period_lock_check(extract(year FROM NEW.data)::int, extract(month FROM NEW.data)::int, NULL, NULL);
        RETURN NEW;
    ELSIF TG_OP = 'DELETE' THEN
        PERFORM accounts_dep.period_lock_check(extract(year FROM OLD.data)::int, extract(month FROM OLD.data)::int, NULL, NULL);
        RETURN OLD;
    END IF;
    PERFORM accounts_dep.period_lock_check(extract(year FROM OLD.data)::int, extract(month FROM OLD.data)::int,
                                           extract(year FROM NEW.data)::int, extract(month FROM NEW.data)::int);
    RETURN NEW;
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.period_lock_guard_h_tabel() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        PERFORM accounts_dep.period_lock_check(NEW.year, NEW.month, NULL, NULL);
        RETURN NEW;
    ELSIF TG_OP = 'DELETE' THEN
        PERFORM accounts_dep.period_lock_check(OLD.year, OLD.month, NULL, NULL);
        RETURN OLD;
    END IF;
    PERFORM accounts_dep.period_lock_check(OLD.year, OLD.month, NEW.year, NEW.month);
    RETURN NEW;
END
$$;

-- Auxiliary work carries its month twice: the date (which the register lists
-- by) and i_mnth/i_year (which not every writer fills). A row belongs to a
-- closed month if either says so.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_guard_fatigue() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        PERFORM accounts_dep.period_lock_check(extract(year FROM OLD.d_date)::int, extract(month FROM OLD.d_date)::int,
                                               OLD.i_year, OLD.i_mnth);
    END IF;
    IF TG_OP IN ('INSERT', 'UPDATE') THEN
        PERFORM accounts_dep.period_lock_check(extract(year FROM NEW.d_date)::int, extract(month FROM NEW.d_date)::int,
                                               NEW.i_year, NEW.i_mnth);
        RETURN NEW;
    END IF;
    RETURN OLD;
END
$$;

-- TRUNCATE skips row triggers; emptying one of these tables would wipe the
-- closed months too, so it waits until no month is closed.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_guard_truncate() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    r record;
BEGIN
    SELECT p.year, p.month INTO r FROM accounts_dep.period_lock p ORDER BY p.year DESC, p.month DESC LIMIT 1;
    IF FOUND THEN
        PERFORM accounts_dep.period_lock_check(r.year, r.month, NULL, NULL);
    END IF;
    RETURN NULL;
END
$$;

-- Closing (or moving) a lock row waits for the writers of that month; see
-- period_lock_check.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_serialize() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_advisory_xact_lock(28012, NEW.year * 100 + NEW.month);
    RETURN NEW;
END
$$;

CREATE OR REPLACE TRIGGER period_lock_serialize
    BEFORE INSERT OR UPDATE ON accounts_dep.period_lock
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_serialize();

CREATE OR REPLACE TRIGGER period_lock_guard
    BEFORE INSERT OR UPDATE OR DELETE ON accounts_dep.smena
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_guard_smena();
CREATE OR REPLACE TRIGGER period_lock_guard
    BEFORE INSERT OR UPDATE OR DELETE ON accounts_dep.h_tabel
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_guard_h_tabel();
CREATE OR REPLACE TRIGGER period_lock_guard
    BEFORE INSERT OR UPDATE OR DELETE ON accounts_dep.fatigue
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_guard_fatigue();

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

COMMIT;
