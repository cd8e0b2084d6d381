-- Removes what db/extension.sql added: the triggers on the department's tables,
-- their functions, the closed months (period_lock), the change history
-- (change_log) and its version row. The department's tables and their rows stay
-- as they are.
-- Save the history first if it is still needed, for example:
--   pg_dump -d mirn_erp -t accounts_dep.change_log -t accounts_dep.period_lock -f history.sql
--
--   psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/extension_drop.sql
-- Running it when the extension is not installed changes nothing.

\set ON_ERROR_STOP 1

BEGIN;

DO $$
BEGIN
    IF to_regclass('accounts_dep.schema_version') IS NULL THEN
        RETURN;
    END IF;
    IF EXISTS (SELECT 1 FROM accounts_dep.schema_version WHERE component = 'roles') THEN
        RAISE EXCEPTION 'db/roles.sql is installed on top of the extension: run db/roles_drop.sql first';
    END IF;
END
$$;

-- The payroll exports block (component 'payroll_export').
DROP TRIGGER IF EXISTS change_log_record ON accounts_dep.payroll_export;
DROP TABLE IF EXISTS accounts_dep.payroll_export;
DROP FUNCTION IF EXISTS accounts_dep.payroll_export_record(integer, integer, text, text, integer, text);
DO $$
BEGIN
    IF to_regclass('accounts_dep.schema_version') IS NOT NULL THEN
        DELETE FROM accounts_dep.schema_version WHERE component = 'payroll_export';
    END IF;
END
$$;

DROP TRIGGER IF EXISTS period_lock_guard ON accounts_dep.smena;
DROP TRIGGER IF EXISTS period_lock_guard ON accounts_dep.h_tabel;
DROP TRIGGER IF EXISTS period_lock_guard ON accounts_dep.fatigue;
DROP TRIGGER IF EXISTS period_lock_guard_truncate ON accounts_dep.smena;
DROP TRIGGER IF EXISTS period_lock_guard_truncate ON accounts_dep.h_tabel;
DROP TRIGGER IF EXISTS period_lock_guard_truncate ON accounts_dep.fatigue;
DROP TRIGGER IF EXISTS change_log_record ON accounts_dep.smena;
DROP TRIGGER IF EXISTS change_log_record ON accounts_dep.fatigue;
DROP TRIGGER IF EXISTS change_log_record ON accounts_dep.oper;
DROP TRIGGER IF EXISTS change_log_record ON accounts_dep.norm;

-- Dropped with its own triggers period_lock_serialize and period_lock_log.
DROP TABLE IF EXISTS accounts_dep.period_lock;
DROP TABLE IF EXISTS accounts_dep.change_log;

-- No CASCADE: should anything else have come to use them, stop here rather
-- than take it away unseen.
DROP FUNCTION IF EXISTS accounts_dep.change_log_record();
DROP FUNCTION IF EXISTS accounts_dep.period_lock_log();
DROP FUNCTION IF EXISTS accounts_dep.period_lock_guard();
DROP FUNCTION IF EXISTS accounts_dep.period_lock_guard_truncate();
DROP FUNCTION IF EXISTS accounts_dep.period_lock_serialize();
DROP FUNCTION IF EXISTS accounts_dep.period_lock_refuse(integer);
DROP FUNCTION IF EXISTS accounts_dep.period_key(date);
DROP FUNCTION IF EXISTS accounts_dep.period_key(integer, integer);
DROP FUNCTION IF EXISTS accounts_dep.month_name(integer);

-- The version row goes; the table too once no script has a row in it.
DO $$
BEGIN
    IF to_regclass('accounts_dep.schema_version') IS NOT NULL THEN
        DELETE FROM accounts_dep.schema_version WHERE component = 'extension';
        IF NOT EXISTS (SELECT 1 FROM accounts_dep.schema_version) THEN
            DROP TABLE accounts_dep.schema_version;
        END IF;
    END IF;
END
$$;

COMMIT;
